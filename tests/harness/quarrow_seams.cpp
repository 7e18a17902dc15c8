// Quarrow for end-to-end tests: the whole program behind an entry point that
// also honours the test seams, which the shipped entry point never calls.
//   QUARROW_REFRESH_MS   the main window's refresh period instead of 60000 ms
//   QUARROW_REPORT       once the first job lists are drawn, write the start-up
//                        report (tests/harness/startup_report.h) to this file and close
//   QUARROW_BALLOONS     append every balloon shown to this file, one UTF-8 line each:
//                        "title|text|info" or "title|text|warning"
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/QuarrowApp.h"
#include "app/QuarrowDlg.h"
#include "resources/resource.h"
#include "common/WinUtil.h"
#include "startup_report.h"

namespace {
char g_report[MAX_PATH] = {};
char g_balloons[MAX_PATH] = {};

void ReportFirstList(HWND window) {
    WriteStartupReport(g_report);
    // The close box only hides the window; "Exit" ends the program.
    ::PostMessageA(window, WM_COMMAND, ID_MENU_EXIT, 0);
}
void RecordBalloon(const wchar_t* title, const wchar_t* text, DWORD icon) {
    std::wstring line = std::wstring(title) + L"|" + text + (icon == NIIF_WARNING ? L"|warning\n" : L"|info\n");
    std::string utf8 = win::WideToAnsi(line, CP_UTF8);
    if (FILE* out = std::fopen(g_balloons, "ab")) {
        std::fwrite(utf8.data(), 1, utf8.size(), out);
        std::fclose(out);
    }
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    char value[32] = {};
    if (::GetEnvironmentVariableA("QUARROW_REFRESH_MS", value, sizeof value) && std::atoi(value) > 0)
        app::CQuarrowDlg::SetRefreshIntervalForTesting(static_cast<UINT>(std::atoi(value)));
    if (::GetEnvironmentVariableA("QUARROW_REPORT", g_report, sizeof g_report))
        app::CQuarrowDlg::SetFirstListObserverForTesting(&ReportFirstList);
    if (::GetEnvironmentVariableA("QUARROW_BALLOONS", g_balloons, sizeof g_balloons))
        app::CQuarrowDlg::SetBalloonObserverForTesting(&RecordBalloon);
    try {
        return app::TheApp().Run(instance, commandLine);
    } catch (...) {
        return 1;
    }
}
