// Kestane for end-to-end tests: the wizard linked with these in place of
// wizard/Seams.cpp, which the shipped program takes as they are. They let a
// test make the long timers short
// (KESTANE_TIMER_MS="1=3000,6=2000"), say whether the PC uses DHCP
// (KESTANE_PC_DHCP=0 or 1), which Wine always reports as on, and narrow the
// ping to the echo call or to nothing (KESTANE_PING=api, none), as on a PC
// where the wizard has no administrator rights (Wine, as root, always has).
#include <cstdlib>
#include <cstring>

#include "wizard/KestaneDlg.h"

namespace kestane {

UINT TimerPeriod(const WizardTimer& timer) {
    UINT period = timer.period;
    if (const char* spec = std::getenv("KESTANE_TIMER_MS")) {
        for (const char* p = spec; *p;) {
            char* end = nullptr;
            const unsigned long id = std::strtoul(p, &end, 10);
            if (end == p || *end != '=') break;
            const unsigned long ms = std::strtoul(end + 1, &end, 10);
            if (id == timer.id && ms > 0) period = static_cast<UINT>(ms);
            p = *end == ',' ? end + 1 : end;
            if (*end != ',') break;
        }
    }
    return period;
}

bool PcUsesDhcp(bool reported) {
    if (const char* value = std::getenv("KESTANE_PC_DHCP")) return std::strcmp(value, "0") != 0;
    return reported;
}

unsigned PingRoutes() {
    if (const char* value = std::getenv("KESTANE_PING")) {
        unsigned routes = 0;
        if (std::strstr(value, "raw")) routes |= netutil::kRawSocket;
        if (std::strstr(value, "api")) routes |= netutil::kEchoApi;
        return routes;
    }
    return netutil::kAnyRoute;
}

}  // namespace kestane
