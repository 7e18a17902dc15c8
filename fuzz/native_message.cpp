// The browser host's request check: a JSON object in UTF-8 from the browser, of which the link
// and the character-set name are taken. Whatever the bytes, a request that passes holds a link
// Quarrow takes, with no control character and no half of a surrogate pair, and a link the
// check took reads back the same when written again with every unit escaped.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "browserhost/NativeMessage.h"
#include "fuzz/FuzzCheck.h"

using namespace browserhost;

namespace {

bool StartsWithNoCase(const std::wstring& text, const char* head) {
    for (size_t i = 0; head[i]; ++i) {
        if (i >= text.size()) return false;
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
        if (c != static_cast<wchar_t>(head[i])) return false;
    }
    return true;
}

bool WholeSurrogatePairs(const std::wstring& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned c = static_cast<unsigned>(text[i]);
        if (c >= 0xDC00 && c <= 0xDFFF) return false;
        if (c >= 0xD800 && c <= 0xDBFF) {
            if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        }
    }
    return true;
}

std::string Escaped(const std::wstring& text) {
    std::string out = "\"";
    char unit[8];
    for (wchar_t c : text) {
        std::snprintf(unit, sizeof unit, "\\u%04x", static_cast<unsigned>(c) & 0xFFFF);
        out += unit;
    }
    return out + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    LinkRequest request;
    if (!CheckLinkRequest(body, request).empty()) {
        FUZZ_CHECK(request.link.empty() && request.charset.empty());
        return 0;
    }
    FUZZ_CHECK(StartsWithNoCase(request.link, "http://") || StartsWithNoCase(request.link, "ftp://"));
    for (wchar_t c : request.link) FUZZ_CHECK(c >= 0x20 && c != 0x7F);
    FUZZ_CHECK(WholeSurrogatePairs(request.link) && WholeSurrogatePairs(request.charset));

    LinkRequest again;
    const std::string rewritten =
        "{\"charset\":" + Escaped(request.charset) + ",\"url\":" + Escaped(request.link) + "}";
    FUZZ_CHECK(CheckLinkRequest(rewritten, again).empty());
    FUZZ_CHECK(again.link == request.link && again.charset == request.charset);

    const std::string frame = Frame(body);
    FUZZ_CHECK(frame.size() == size + 4 && frame.compare(4, std::string::npos, body) == 0);
    return 0;
}
