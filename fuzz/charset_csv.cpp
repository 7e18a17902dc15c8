// The character-set table read from "charset.csv" beside the program, and
// the decimal reading of its code pages (the status document's numbers use
// the same reading).
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "client/CSConvertor.h"
#include "fuzz/FuzzCheck.h"

using namespace client;

namespace {

// atoi's reading without its overflow: blanks, a sign, digits, clamped.
int PlainDecimal(const std::string& text) {
    size_t i = text.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) return 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    __int128 value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value <= static_cast<__int128>(INT_MAX) + 1) value = value * 10 + (text[i] - '0');
    if (negative) value = -value;
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    FUZZ_CHECK(ReadDecimal(text) == PlainDecimal(text));

    CCSConvertor table;
    table.LoadCharsetText("Old,old,1\n");
    table.LoadCharsetText(text);  // replaces, never appends
    size_t lines = 1;
    for (char c : text) lines += c == '\n';
    FUZZ_CHECK(table.Entries().size() <= lines);
    for (const stcs& entry : table.Entries()) {
        // Each entry is one line's first two fields, both non-empty.
        FUZZ_CHECK(!entry.displayName.empty() && !entry.charsetName.empty());
        FUZZ_CHECK(entry.displayName.find(',') == std::string::npos &&
                   entry.charsetName.find(',') == std::string::npos);
        FUZZ_CHECK(entry.displayName.find('\n') == std::string::npos &&
                   entry.charsetName.find('\n') == std::string::npos);
        FUZZ_CHECK(text.find(entry.displayName + "," + entry.charsetName + ",") != std::string::npos);
        // Lookups find the first entry of a name or code page.
        const int codePage = table.CodePageFromName(entry.charsetName);
        const std::string name = table.NameFromCodePage(entry.codePage);
        for (const stcs& first : table.Entries()) {
            if (first.charsetName == entry.charsetName) {
                FUZZ_CHECK(codePage == first.codePage);
                break;
            }
        }
        for (const stcs& first : table.Entries()) {
            if (first.codePage == entry.codePage) {
                FUZZ_CHECK(name == first.displayName);
                break;
            }
        }
    }
    FUZZ_CHECK(table.CodePageFromName("old") == 0 || text.find("old") != std::string::npos);
    return 0;
}
