// Quarrow for end-to-end tests: the whole program behind an entry point that
// also honours the test seams, which the shipped entry point never calls.
//   QUARROW_REFRESH_MS   the main window's refresh period instead of 60000 ms
#include <windows.h>

#include <cstdlib>

#include "app/QuarrowApp.h"
#include "app/QuarrowDlg.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    char value[32] = {};
    if (::GetEnvironmentVariableA("QUARROW_REFRESH_MS", value, sizeof value) && std::atoi(value) > 0)
        app::CQuarrowDlg::SetRefreshIntervalForTesting(static_cast<UINT>(std::atoi(value)));
    try {
        return app::TheApp().Run(instance, commandLine);
    } catch (...) {
        return 1;
    }
}
