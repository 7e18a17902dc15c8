// State shared by every process started from this program file.
#pragma once
#include <windows.h>

namespace app {

struct SharedState {
    volatile LONG instanceFlag;  // 1 once a process has taken the main-window role; never reset
    volatile LONG busyCount;     // nesting depth of the main window's busy sections
    volatile LONG mainWindow;    // the main window's handle (window handles are 32-bit significant)
};

SharedState& Shared();

// Takes the main-window role; false when another process already holds it.
bool ClaimMainWindowRole();

}  // namespace app
