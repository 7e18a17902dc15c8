// Diagnostics that never stop the program in the field: a trace line for the
// debugger (OutputDebugString) and a loud stop for programming mistakes in
// debug builds.
#pragma once

namespace win {

// printf-style line to the debugger, prefixed with the program's module name.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// A programming mistake that the code can survive (the caller drops what it
// was asked to do). Debug builds stop at once; release builds leave a trace.
void ReportMisuse(const char* what);

// Test seams: see every trace line, and turn a misuse into a call instead of a
// stop. Pass nullptr to restore the default.
void SetTraceSinkForTesting(void (*sink)(const char* line));
void SetMisuseHandlerForTesting(void (*handler)(const char* what));

}  // namespace win
