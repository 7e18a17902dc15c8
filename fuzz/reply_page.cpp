// A page from the server: the reply marker search, also as the body arrives
// in chunks, the code's mapping, the cut of the XML out of the page body and
// the numbers in its job element names.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "client/StatusText.h"
#include "client/ReplyCode.h"
#include "client/ReplyReading.h"
#include "fuzz/FuzzCheck.h"

using namespace client;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string page(reinterpret_cast<const char*>(data), size);
    const std::string marker = kReplyMarker;

    std::string code;
    const bool found = FindReplyCode(page, code);
    if (found) {
        // The code is the rest of the first marker's line, without its line feed.
        const size_t at = page.find(marker);
        FUZZ_CHECK(at != std::string::npos);
        FUZZ_CHECK(code.find('\n') == std::string::npos);
        FUZZ_CHECK(page.compare(at + marker.size(), code.size(), code) == 0);
        FUZZ_CHECK(page[at + marker.size() + code.size()] == '\n');
        FUZZ_CHECK(ReplyCodeOfPage(page) == code);
    } else {
        FUZZ_CHECK(ReplyCodeOfPage(page) == kReplyPageError);
    }
    // The page arrives in chunks: a code found in a part must be the code of
    // the whole, so reading may stop as soon as the line is complete.
    for (size_t cut : {size / 3, size / 2, size - size / 4}) {
        std::string partCode;
        if (FindReplyCode(std::string_view(page).substr(0, cut), partCode)) {
            FUZZ_CHECK(found);
            FUZZ_CHECK(partCode == code);
        }
    }
    const int result = MapReplyCode(ReplyCodeOfPage(page));
    FUZZ_CHECK((result == kResultOk) == (found && code == kReplySuccess));
    FUZZ_CHECK(result == kResultOk || result >= 5000);

    // The body as the connection delivers it, in chunks of sizes taken from
    // the page itself; a zero byte ends its chunk's text.
    std::vector<size_t> sizes;
    std::string delivered;
    for (size_t pos = 0, i = 0; pos < size; ++i) {
        const size_t n = std::min<size_t>(size - pos, 1 + (data[i % size] * 7 + i) % 1000);
        sizes.push_back(n);
        delivered.append(page, pos, strnlen(reinterpret_cast<const char*>(data) + pos, n));
        pos += n;
    }
    std::string expected;
    if (!FindReplyCode(delivered, expected)) expected = kReplyPageError;
    for (ReadMode mode : {ReadMode::UntilMarker, ReadMode::Whole}) {
        size_t pos = 0, chunk = 0;
        auto read = [&](char* buffer, unsigned long room) -> long {
            FUZZ_CHECK(room == 1000);
            if (chunk == sizes.size()) return 0;
            std::memcpy(buffer, data + pos, sizes[chunk]);
            pos += sizes[chunk];
            return static_cast<long>(sizes[chunk++]);
        };
        std::string text, readCode;
        FUZZ_CHECK(AccumulateReply(read, mode, text, readCode));
        FUZZ_CHECK(readCode == expected);
        FUZZ_CHECK(delivered.compare(0, text.size(), text) == 0);
        if (mode == ReadMode::Whole) FUZZ_CHECK(text == delivered);
    }

    std::string xml = "untouched";
    if (CutBodyXml(page, xml)) {
        // The document lies right after the first "<body>", and exactly two
        // "<" (the end tags) follow it.
        const size_t body = page.find("<body>");
        FUZZ_CHECK(body != std::string::npos);
        FUZZ_CHECK(page.compare(body + 6, xml.size(), xml) == 0);
        const size_t rest = body + 6 + xml.size();
        FUZZ_CHECK(rest < page.size() && page[rest] == '<');
        size_t tags = 0;
        for (size_t i = rest; i < page.size(); ++i) tags += page[i] == '<';
        FUZZ_CHECK(tags == 2);
    } else {
        FUZZ_CHECK(xml == "untouched");
    }

    // Job element names: a number only where the name spells it canonically.
    for (const std::wstring prefix : {L"BTItem", L"WebFTPItem", L""}) {
        const std::wstring name(page.begin(), page.begin() + static_cast<long>(std::min<size_t>(size, 24)));
        const long long number = ItemNumber(name, prefix);
        FUZZ_CHECK(number >= 0);
        const bool canonical = number > 0 && name == prefix + std::to_wstring(number);
        FUZZ_CHECK(canonical == (number > 0));
        if (number == 0 && name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
            const std::wstring digits = name.substr(prefix.size());
            FUZZ_CHECK(digits[0] == L'0' || digits.size() > 10 ||
                       digits.find_first_not_of(L"0123456789") != std::wstring::npos);
        }
    }
    return 0;
}
