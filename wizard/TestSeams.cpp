// The timer periods and the PC's DHCP state as the wizard sees them. The
// shipped program takes them as they are; its test build (KESTANE_TEST_SEAMS)
// lets a test make the long timers short (KESTANE_TIMER_MS="1=3000,6=2000")
// and say whether the PC uses DHCP (KESTANE_PC_DHCP=0 or 1), which Wine
// always reports as on.
#include <cstdlib>
#include <cstring>

#include "wizard/KestaneDlg.h"

namespace kestane {

UINT TimerPeriod(UINT_PTR timer) {
    static const UINT kPeriods[] = {0, 60000, 4000, 500, 60000, 300000, 100000};
    UINT period = timer < sizeof kPeriods / sizeof kPeriods[0] ? kPeriods[timer] : 1000;
#ifdef KESTANE_TEST_SEAMS
    if (const char* spec = std::getenv("KESTANE_TIMER_MS")) {
        for (const char* p = spec; *p;) {
            char* end = nullptr;
            const unsigned long id = std::strtoul(p, &end, 10);
            if (end == p || *end != '=') break;
            const unsigned long ms = std::strtoul(end + 1, &end, 10);
            if (id == timer && ms > 0) period = static_cast<UINT>(ms);
            p = *end == ',' ? end + 1 : end;
            if (*end != ',') break;
        }
    }
#endif
    return period;
}

bool PcUsesDhcp(bool reported) {
#ifdef KESTANE_TEST_SEAMS
    if (const char* value = std::getenv("KESTANE_PC_DHCP")) return std::strcmp(value, "0") != 0;
#endif
    return reported;
}

}  // namespace kestane
