// The character-set table of the program and the text conversions the server
// expects: percent-encoding per code page, UTF-8 to ANSI, caret escape.
#pragma once
#include <list>
#include <string>

#include "client/CSEncode.h"
#include "client/CharsetTable.h"

namespace client {

class CCSConvertor {
public:
    // Replaces the table with the file's entries; 1 when read, 0 when it could not be opened.
    int LoadCharsetFile(const std::string& path);
    // Replaces the table with the entries of the file's text.
    void LoadCharsetText(const std::string& text) { entries_ = ParseCharsetText(text); }
    int CodePageFromName(const std::string& charsetName) const {
        return client::CodePageFromName(entries_, charsetName);
    }
    std::string NameFromCodePage(int codePage) const { return client::NameFromCodePage(entries_, codePage); }
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
    static std::string EncodeWideForCodePage(const std::wstring& text, int codePage) {
        return PercentEncode(text, codePage);
    }
    // Text in `codePage` to the system ANSI code page.
    static std::string ConvertToAnsi(const std::string& text, int codePage);
    static std::string DefaultEncodeUrl(const std::string& url);
    // Plain conversions between a code page and UTF-16 (empty on failure).
    static std::wstring ToWide(const std::string& text, int codePage);
    static std::string FromWide(const wchar_t* text, size_t length, int codePage);

private:
    std::list<stcs> entries_;
};

}  // namespace client
