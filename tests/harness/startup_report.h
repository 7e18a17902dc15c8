// What the benchmark reads from a program it started: milliseconds from the
// process's creation to now, and its peak working set and pagefile usage.
#pragma once
#include <windows.h>
#include <psapi.h>

#include <cstdio>

inline void WriteStartupReport(const char* path) {
    FILETIME created, exited, kernel, user, now;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    ::GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER a = {{created.dwLowDateTime, created.dwHighDateTime}}, b = {{now.dwLowDateTime, now.dwHighDateTime}};
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory);
    if (FILE* out = std::fopen(path, "w")) {
        std::fprintf(out, "%.1f %llu %llu\n", (b.QuadPart - a.QuadPart) / 10000.0,
                     static_cast<unsigned long long>(memory.PeakWorkingSetSize),
                     static_cast<unsigned long long>(memory.PeakPagefileUsage));
        std::fclose(out);
    }
}

// A start-up floor's last step once its window is complete: drawn now, the
// report written, the dialog ended.
inline void ReportDrawnAndEnd(HWND dialog, const char* path) {
    ::UpdateWindow(dialog);
    WriteStartupReport(path);
    ::EndDialog(dialog, 0);
}
