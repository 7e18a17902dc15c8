// The timer periods, the PC's DHCP state and the ways to ping, as the shipped
// wizard takes them: as they are. The wizard's test build links
// tests/harness/kestane_seams.cpp in place of this file, as Quarrow's test build
// has its own entry point there.
#include "wizard/KestaneDlg.h"

namespace kestane {

UINT TimerPeriod(const WizardTimer& timer) { return timer.period; }

bool PcUsesDhcp(bool reported) { return reported; }

unsigned PingRoutes() { return netutil::kAnyRoute; }

}  // namespace kestane
