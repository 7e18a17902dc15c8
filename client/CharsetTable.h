// The character-set table read from "charset.csv", and the decimal reading it
// shares with the status document: plain text work, free of the platform.
#pragma once
#include <list>
#include <string>

namespace client {

struct stcs {
    std::string displayName;
    std::string charsetName;
    int codePage = 0;
};

// The entries of the file's text, in file order: one line each, three
// comma-separated columns; a line without two commas or with an empty first or
// second column is left out.
std::list<stcs> ParseCharsetText(const std::string& text);

// The code page of the first entry with this charset name (case-sensitive); 0 if none.
int CodePageFromName(const std::list<stcs>& table, const std::string& charsetName);
// The display name of the first entry with this code page; empty if none.
std::string NameFromCodePage(const std::list<stcs>& table, int codePage);

// Reads a decimal integer as atoi does (leading blanks, sign, digits, the rest
// ignored), clamped to the int range instead of overflowing.
int ReadDecimal(const std::string& text);

}  // namespace client
