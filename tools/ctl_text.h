// quarrowctl's own texts, in the user's language, from the string table
// that tools/quarrowctl.rc adds to the program.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>

namespace ctl {

// The text with that ID in the ANSI code page, each %1 to %9 replaced by the
// argument of that number (ANSI as well). Empty when the program lacks it.
std::string Text(UINT id, std::initializer_list<std::string> arguments = {});

}  // namespace ctl
