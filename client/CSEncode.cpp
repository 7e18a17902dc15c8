#include "client/CSEncode.h"

#include <windows.h>

#include <cstdio>

namespace client {

std::string PercentEncode(const std::wstring& text, int codePage) {
    // UTF-7 and UTF-8 refuse a substitute character; every other page gets "?".
    const bool noSubstitute = codePage == 65000 || codePage == 65001;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        // A character outside the basic plane is a pair of units, converted together.
        const int units = IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]) ? 2 : 1;
        char bytes[16] = {};
        int count = ::WideCharToMultiByte(static_cast<UINT>(codePage), 0, &text[i], units, bytes, sizeof bytes,
                                          noSubstitute ? nullptr : "?", nullptr);
        // A link with characters left out would name something else: none at all.
        if (count <= 0) return {};
        i += static_cast<size_t>(units);
        if (count == 1) {
            out += bytes[0];
        } else {
            for (int k = 0; k < count; ++k) {
                char escape[4];
                std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(bytes[k]));
                out += escape;
            }
        }
    }
    return out;
}

std::string ReplaceAnsi(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, from.size(), from) == 0) {
            text.replace(i, from.size(), to);
            i += to.size();
        } else {
            i += ::IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size() ? 2 : 1;
        }
    }
    return text;
}

std::string CaretEscape(const std::string& text) {
    // The caret goes first so that the carets brought in by the others stay single.
    static const char* const kTable[][2] = {
        {"^", "^^"},  {"+", "^2B"}, {" ", "^20"}, {"/", "^2F"}, {"=", "^3D"}, {"%", "^25"},
        {"?", "^3F"}, {"&", "^26"}, {"#", "^23"}, {"@", "^40"}, {";", "^3B"}, {"$", "^24"},
    };
    std::string out = text;
    for (const auto& entry : kTable) out = ReplaceAnsi(std::move(out), entry[0], entry[1]);
    return out;
}

}  // namespace client
