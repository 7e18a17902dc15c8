// Small helpers free of windows that several modules need: the program's own
// folder, registry keys and values, ANSI and UTF-16 text.
#pragma once
#include <windows.h>

#include <string>

#include "common/Handle.h"

namespace win {

// Full path of a module's file (nullptr: the program); empty on failure.
std::string ModulePath(HMODULE module = nullptr);
// The module's folder, ending with a backslash; empty on failure.
std::string ModuleDirectory(HMODULE module = nullptr);

// Opens an existing key; an invalid owner when it cannot be opened.
RegKey OpenRegKey(HKEY root, const std::string& path, REGSAM access);
// Opens or creates a key; an invalid owner on failure.
RegKey CreateRegKey(HKEY root, const std::string& path, REGSAM access);

// Reads a REG_SZ value the way the program's settings are read: into a
// 1000-byte buffer, missing or unreadable values and other types read as "".
std::string ReadRegString(HKEY key, const char* value);
// Writes a REG_SZ value with its terminating zero; false on failure.
bool WriteRegString(HKEY key, const char* value, const std::string& data);

// Text conversions through a code page (CP_ACP by default). Bytes that are not
// valid in the code page become what MultiByteToWideChar makes of them.
std::wstring AnsiToWide(const std::string& text, UINT codePage = CP_ACP);
std::string WideToAnsi(const std::wstring& text, UINT codePage = CP_ACP);

}  // namespace win
