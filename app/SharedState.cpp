#include "SharedState.h"

namespace app {

// One page mapped into every process of this program file.
__attribute__((section("Shared"), shared)) SharedState g_shared = {0, 0, 0};

SharedState& Shared() { return g_shared; }

bool ClaimMainWindowRole() { return ::InterlockedExchange(&g_shared.instanceFlag, 1) == 0; }

}  // namespace app
