// Character sets and the text conversions the server expects: the table from
// "charset.csv", percent-encoding per code page, UTF-8 to ANSI, caret escape.
#pragma once
#include <list>
#include <string>

namespace client {

struct stcs {
    std::string displayName;
    std::string charsetName;
    int codePage = 0;
};

class CCSConvertor {
public:
    // Replaces the table with the file's entries; 1 when read, 0 when it could not be opened.
    int LoadCharsetFile(const std::string& path);
    // Parses the file's text (exposed for tests).
    void LoadCharsetText(const std::string& text);
    int CodePageFromName(const std::string& charsetName) const;
    std::string NameFromCodePage(int codePage) const;
    const std::list<stcs>& Entries() const { return entries_; }

    static int GetUtf8CodePage() { return 65001; }
    // Whether this system converts text to `codePage`; a character-set table
    // may name code pages that it lacks.
    static bool CanEncodeTo(int codePage);
    // Percent-encoding of ANSI (or UTF-16) text for a code page: characters of
    // one byte stay, longer ones become escapes of their bytes. Empty when the
    // system cannot convert to the code page at all (see CanEncodeTo), never
    // a text with gaps.
    static std::string EncodeForCodePage(const std::string& ansiText, int codePage);
    static std::string EncodeWideForCodePage(const std::wstring& text, int codePage);
    // Text in `codePage` to the system ANSI code page.
    static std::string ConvertToAnsi(const std::string& text, int codePage);
    static std::string DefaultEncodeUrl(const std::string& url);
    // Plain conversions between a code page and UTF-16 (empty on failure).
    static std::wstring ToWide(const std::string& text, int codePage);
    static std::string FromWide(const wchar_t* text, size_t length, int codePage);

private:
    std::list<stcs> entries_;
};

// Escapes a PC path for the server's "pcLocationEncoded" field.
std::string CaretEscape(const std::string& text);

// Reads a decimal integer as atoi does (leading blanks, sign, digits, the rest
// ignored), clamped to the int range instead of overflowing.
int ReadDecimal(const std::string& text);

// Replaces every occurrence of `from` in ANSI text, matching only at character
// starts, so the trail byte of a double-byte character (which may be "\\" or
// "@") is never taken for an ASCII character.
std::string ReplaceAnsi(std::string text, const std::string& from, const std::string& to);

}  // namespace client
