#include "Trace.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace win {

namespace {
void (*g_sink)(const char*) = nullptr;
void (*g_misuse)(const char*) = nullptr;
}  // namespace

void SetTraceSinkForTesting(void (*sink)(const char*)) { g_sink = sink; }
void SetMisuseHandlerForTesting(void (*handler)(const char*)) { g_misuse = handler; }

void Trace(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line - 2, format, args);
    va_end(args);
    size_t n = std::strlen(line);
    line[n] = '\n';
    line[n + 1] = '\0';
    ::OutputDebugStringA(line);
    if (g_sink) g_sink(line);
}

void ReportMisuse(const char* what) {
    Trace("misuse: %s", what);
    if (g_misuse) {
        g_misuse(what);
        return;
    }
#ifndef NDEBUG
    // A handler table changed after the window runs, or similar: the bug is
    // in the caller, and a silent drop would hide it.
    ::MessageBoxA(nullptr, what, "Programming error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    std::abort();
#endif
}

}  // namespace win
