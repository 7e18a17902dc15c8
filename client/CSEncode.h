// The encoders that escape text for the server: percent-escapes of a code
// page's bytes and the caret escape of PC paths. They use the platform's
// conversions only through WideCharToMultiByte and IsDBCSLeadByte.
#pragma once
#include <string>

namespace client {

// Percent-encoding of UTF-16 text for a code page: characters of one byte
// stay, longer ones become escapes of their bytes. Empty when the system
// cannot convert a character to the code page at all, never a text with gaps.
std::string PercentEncode(const std::wstring& text, int codePage);

// Escapes a PC path for the server's "pcLocationEncoded" field.
std::string CaretEscape(const std::string& text);

// Replaces every occurrence of `from` in ANSI text, matching only at character
// starts, so the trail byte of a double-byte character (which may be "\\" or
// "@") is never taken for an ASCII character.
std::string ReplaceAnsi(std::string text, const std::string& from, const std::string& to);

}  // namespace client
