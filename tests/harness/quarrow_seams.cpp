// Quarrow for end-to-end tests: the whole program behind an entry point that
// also honours the test seams, which the shipped entry point never calls.
//   QUARROW_REFRESH_MS   the main window's refresh period instead of 60000 ms
//   QUARROW_REPORT       once the first job lists are drawn, write the start-up
//                        report (tests/harness/startup_report.h) to this file and close
//   QUARROW_BALLOONS     append every balloon shown to this file, one UTF-8 line each:
//                        "title|text|info" or "title|text|warning"
//   QUARROW_TRACE        append each start-up and refresh mark to this file, one
//                        line each: milliseconds since the process was created,
//                        the thread's ID and the mark
//   QUARROW_REFRESHES    with QUARROW_REPORT: keep running after the report until
//                        this many refreshes have filled the lists, appending the
//                        process's handle count after every tenth to QUARROW_HANDLES; then Exit
//   On "Exit" after the report, the report file gets a second line: the time
//   of the Exit in milliseconds since 1970, for the time the process takes to end.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/QuarrowApp.h"
#include "app/QuarrowDlg.h"
#include "resources/resource.h"
#include "common/Marks.h"
#include "common/WinUtil.h"
#include "startup_report.h"

namespace {
char g_report[MAX_PATH] = {};
char g_balloons[MAX_PATH] = {};
char g_trace[MAX_PATH] = {};
char g_handles[MAX_PATH] = {};
int g_refreshes = 0, g_filled = 0;
HWND g_window = nullptr;
CRITICAL_SECTION g_traceLock;

double MsSinceCreation() {
    FILETIME created, exited, kernel, user, now;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER a = {{created.dwLowDateTime, created.dwHighDateTime}}, b = {{now.dwLowDateTime, now.dwHighDateTime}};
    return (b.QuadPart - a.QuadPart) / 10000.0;
}

void CountRefresh(const char* what) {
    if (std::strcmp(what, "rows filled") != 0 || !g_window) return;
    // Every tenth refresh: the count of open handles, found by asking for each
    // value in turn (this Wine answers 0 to the count itself).
    if (g_filled % 10 != 0) {
        if (++g_filled == g_refreshes) ::PostMessageA(g_window, WM_COMMAND, ID_MENU_EXIT, 0);
        return;
    }
    DWORD handles = 0, flags = 0;
    for (UINT_PTR value = 4; value < 0x4000; value += 4)
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++handles;
    if (FILE* out = std::fopen(g_handles, "a")) {
        std::fprintf(out, "%d %lu\n", g_filled, handles);
        std::fclose(out);
    }
    if (++g_filled == g_refreshes) ::PostMessageA(g_window, WM_COMMAND, ID_MENU_EXIT, 0);
}

void TraceToFile(const char* what) {
    if (g_refreshes) CountRefresh(what);
    if (!g_trace[0]) return;
    ::EnterCriticalSection(&g_traceLock);
    if (FILE* out = std::fopen(g_trace, "a")) {
        std::fprintf(out, "%.1f %lu %s\n", MsSinceCreation(), ::GetCurrentThreadId(), what);
        std::fclose(out);
    }
    ::LeaveCriticalSection(&g_traceLock);
}

void ReportFirstList(HWND window) {
    WriteStartupReport(g_report);
    if (g_refreshes) {
        g_window = window;
        return;
    }
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t = {{now.dwLowDateTime, now.dwHighDateTime}};
    if (FILE* out = std::fopen(g_report, "a")) {
        std::fprintf(out, "%.1f\n", (t.QuadPart - 116444736000000000ULL) / 10000.0);
        std::fclose(out);
    }
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
    if (::GetEnvironmentVariableA("QUARROW_REFRESHES", value, sizeof value) &&
        ::GetEnvironmentVariableA("QUARROW_HANDLES", g_handles, sizeof g_handles))
        g_refreshes = std::atoi(value);
    ::GetEnvironmentVariableA("QUARROW_TRACE", g_trace, sizeof g_trace);
    if (g_trace[0] || g_refreshes) {
        ::InitializeCriticalSection(&g_traceLock);
        win::g_markSinkForTesting = &TraceToFile;
        TraceToFile("entry point");
    }
    if (::GetEnvironmentVariableA("QUARROW_BALLOONS", g_balloons, sizeof g_balloons))
        app::CQuarrowDlg::SetBalloonObserverForTesting(&RecordBalloon);
    try {
        return app::TheApp().Run(instance, commandLine);
    } catch (...) { return 1; }
}
