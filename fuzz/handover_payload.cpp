// The WM_COPYDATA payload of a hand-over as the running window receives it
// from another process, and the same payload built and read back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/HandOverMessage.h"
#include "fuzz/FuzzCheck.h"

using namespace app;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The payload exactly as claimed: a copy of that many bytes, so that a
    // read past it is caught.
    std::vector<char> payload(data, data + size);
    HandOver read{7, 7, "keep", "keep"};
    if (ReadHandOverMessage(payload.empty() ? nullptr : payload.data(), payload.size(), read)) {
        FUZZ_CHECK(read.kind == kHandOverTorrent || read.kind == kHandOverLink);
        FUZZ_CHECK(read.first.find('\0') == std::string::npos && read.second.find('\0') == std::string::npos);
        if (read.kind == kHandOverTorrent) FUZZ_CHECK(read.second.empty());
        // Built again (with the code page it carried), it is the start of the payload.
        int32_t codePage;
        std::memcpy(&codePage, data + 4, 4);
        read.codePage = codePage;
        const std::vector<char> again = BuildHandOverMessage(read);
        FUZZ_CHECK(again.size() <= size && std::memcmp(again.data(), data, again.size()) == 0);
    } else {
        FUZZ_CHECK(read.kind == 7 && read.first == "keep" && read.second == "keep");
    }

    // Texts without zeros always travel whole: split the input at its zeros.
    if (size < 1) return 0;
    HandOver sent;
    sent.kind = data[0] & 1 ? kHandOverLink : kHandOverTorrent;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const size_t zero = rest.find('\0');
    sent.first = rest.substr(0, zero);
    if (sent.kind == kHandOverLink && zero != std::string::npos) {
        sent.second = rest.substr(zero + 1);
        sent.second = sent.second.substr(0, sent.second.find('\0'));
    }
    const std::vector<char> built = BuildHandOverMessage(sent);
    HandOver got;
    FUZZ_CHECK(ReadHandOverMessage(built.data(), built.size(), got));
    FUZZ_CHECK(got.kind == sent.kind && got.first == sent.first && got.second == sent.second);
    // Any shorter claim of the same bytes is refused, never read past.
    if (built.size() > 1) {
        std::vector<char> shorter(built.begin(), built.end() - 1);
        HandOver cut;
        FUZZ_CHECK(!ReadHandOverMessage(shorter.data(), shorter.size(), cut));
    }
    return 0;
}
