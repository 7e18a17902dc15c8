// A page from the server: the reply marker search, the code's mapping, and
// the cut of the XML out of the page body.
#include <cstddef>
#include <cstdint>
#include <string>

#include "client/BodyXml.h"
#include "client/ReplyCode.h"
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
    return 0;
}
