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
//                        process's handle count, the bytes in use in its heaps and
//                        the bytes the program holds through new after every tenth
//                        to QUARROW_HANDLES; then Exit
//   QUARROW_HEAPDIFF     with QUARROW_REFRESHES above 200: the heap blocks that
//                        came between refresh 100 and 200, to this file
//   On "Exit" after the report, the report file gets a second line: the time
//   of the Exit in milliseconds since 1970, for the time the process takes to end.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "app/QuarrowApp.h"
#include "app/QuarrowDlg.h"
#include "bench/HeapUse.h"
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

// Bytes held through new, program-wide (this entry point's replacement of the
// global allocation functions), to tell the program's own memory from the
// system's in the memory benchmark.
volatile LONG64 g_newBytes = 0;

// Diagnosis (QUARROW_HEAPDIFF=FILE, with QUARROW_REFRESHES above 200): the
// heap blocks in use after refresh 200 that were not there after refresh 100,
// one line each: address, size, first bytes in hex and as text.
struct Block {
    UINT_PTR address;
    DWORD size;
    bool operator<(const Block& o) const { return address < o.address || (address == o.address && size < o.size); }
    bool operator==(const Block& o) const { return address == o.address && size == o.size; }
};
constexpr size_t kMaxBlocks = 300000;
Block* g_before = nullptr;  // two tables of kMaxBlocks, taken from the system, not from a heap
Block* g_after = nullptr;
size_t g_beforeCount = 0;
char g_heapDiff[MAX_PATH] = {};

size_t WalkBlocks(Block* out, size_t room) {
    size_t n = 0;
    floors::ForEachBlockInUse([&](void* address, DWORD size) {
        if (n < room) out[n++] = {reinterpret_cast<UINT_PTR>(address), size};
    });
    std::sort(out, out + n);
    return n;
}

void HeapDiff(int filled) {
    if (!g_heapDiff[0] || (filled != 100 && filled != 200)) return;
    if (!g_before) {
        g_before = static_cast<Block*>(
            ::VirtualAlloc(nullptr, 2 * kMaxBlocks * sizeof(Block), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (!g_before) return;
        g_after = g_before + kMaxBlocks;
    }
    if (filled == 100) {
        g_beforeCount = WalkBlocks(g_before, kMaxBlocks);
        return;
    }
    size_t n = WalkBlocks(g_after, kMaxBlocks);
    FILE* out = std::fopen(g_heapDiff, "w");
    if (!out) return;
    for (size_t i = 0; i < n; ++i) {
        if (std::binary_search(g_before, g_before + g_beforeCount, g_after[i])) continue;
        std::fprintf(out, "%p %5lu ", reinterpret_cast<void*>(g_after[i].address), g_after[i].size);
        const auto* bytes = reinterpret_cast<const unsigned char*>(g_after[i].address);
        DWORD shown = std::min<DWORD>(g_after[i].size, 48);
        for (DWORD k = 0; k < shown; ++k) std::fprintf(out, "%02x", bytes[k]);
        std::fprintf(out, "  ");
        for (DWORD k = 0; k < shown; ++k) std::fputc(bytes[k] >= 32 && bytes[k] < 127 ? bytes[k] : '.', out);
        std::fputc('\n', out);
    }
    std::fclose(out);
}

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
    HeapDiff(g_filled);
    if (g_filled % 10 != 0) {
        if (++g_filled == g_refreshes) ::PostMessageA(g_window, WM_COMMAND, ID_MENU_EXIT, 0);
        return;
    }
    DWORD handles = 0, flags = 0;
    for (UINT_PTR value = 4; value < 0x4000; value += 4)
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++handles;
    if (FILE* out = std::fopen(g_handles, "a")) {
        std::fprintf(out, "%d %lu %lld %lld\n", g_filled, handles, floors::HeapBytesInUse(),
                     static_cast<long long>(g_newBytes));
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

// Each block carries its size in front of it, so that delete can count it.
void* operator new(size_t size) {
    auto* block = static_cast<size_t*>(std::malloc(size + 16));
    if (!block) throw std::bad_alloc();
    *block = size;
    ::InterlockedExchangeAdd64(&g_newBytes, static_cast<LONG64>(size));
    return reinterpret_cast<char*>(block) + 16;
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* p) noexcept {
    if (!p) return;
    auto* block = reinterpret_cast<size_t*>(static_cast<char*>(p) - 16);
    ::InterlockedExchangeAdd64(&g_newBytes, -static_cast<LONG64>(*block));
    std::free(block);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }

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
    ::GetEnvironmentVariableA("QUARROW_HEAPDIFF", g_heapDiff, sizeof g_heapDiff);
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
