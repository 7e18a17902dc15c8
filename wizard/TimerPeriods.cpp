// The periods of the wizard's timers. The shipped program uses them as they
// stand; the test build of the program (KESTANE_TIMER_SEAM) lets a test make
// the long ones short, through KESTANE_TIMER_MS="1=3000,6=2000".
#include <cstdlib>
#include <cstring>

#include "wizard/KestaneDlg.h"

namespace kestane {

UINT TimerPeriod(UINT_PTR timer) {
    static const UINT kPeriods[] = {0, 60000, 4000, 500, 60000, 300000, 100000};
    UINT period = timer < sizeof kPeriods / sizeof kPeriods[0] ? kPeriods[timer] : 1000;
#ifdef KESTANE_TIMER_SEAM
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

}  // namespace kestane
