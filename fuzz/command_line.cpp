// The program's command line: the switch, the "/f" path and the "/l" link
// with its hexadecimal UTF-16 and character-set name, up to the payload that
// the hand-over sends.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/CommandLine.h"
#include "app/HandOverMessage.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/shim/windows.h"

using namespace app;

namespace {

// Each UTF-16 unit as four upper-case digits, low byte first: what the add-in writes.
std::string EncodeHexLink(const std::wstring& link) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (wchar_t unit : link) {
        const unsigned u = static_cast<unsigned>(unit) & 0xFFFF;
        for (unsigned byte : {u & 0xFF, u >> 8}) {
            hex += kDigits[byte >> 4];
            hex += kDigits[byte & 15];
        }
    }
    return hex;
}

const client::CCSConvertor& Charsets() {
    static client::CCSConvertor charsets = [] {
        client::CCSConvertor c;
        c.LoadCharsetText("Western,windows-1252,1252\nUnicode,utf-8,65001\nChinese,gb2312,936\n");
        return c;
    }();
    return charsets;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A command line is a zero-terminated text.
    const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    const Command command = ParseCommandLine(text.c_str());
    if (command.form == CommandForm::Normal) {
        FUZZ_CHECK(command.argument.empty());
    } else {
        FUZZ_CHECK(text.size() >= 2 && text[0] == '/');
        FUZZ_CHECK(command.argument.size() <= text.size() - 2);
        FUZZ_CHECK(text.compare(text.size() - command.argument.size(), std::string::npos, command.argument) == 0);
        FUZZ_CHECK(command.argument.empty() || command.argument[0] != ' ');
    }
    FUZZ_CHECK(ParseCommandLine(nullptr).form == CommandForm::Normal);

    const std::string& argument = command.argument.empty() ? text : command.argument;
    const std::string path = TorrentPathFromArgument(argument);
    FUZZ_CHECK(path.size() + 2 == argument.size() || (path.empty() && argument.size() < 2));
    HandOver torrent;
    if (PrepareTorrentHandOver(argument, torrent)) {
        FUZZ_CHECK(torrent.kind == kHandOverTorrent && torrent.first == path && !path.empty());
    }

    LinkArgument link;
    if (ParseLinkArgument(argument, link)) {
        FUZZ_CHECK(link.hexLink.find(' ') == std::string::npos);
        FUZZ_CHECK(link.hexLink + " " + link.charset == argument);
    } else {
        FUZZ_CHECK(argument.find(' ') == std::string::npos);
    }
    const std::wstring units = DecodeHexLink(argument);
    FUZZ_CHECK(units.size() == argument.size() / 4);
    for (wchar_t unit : units) FUZZ_CHECK(static_cast<uint32_t>(unit) <= 0xFFFF);
    // Digits as the add-in writes them come back unchanged.
    FUZZ_CHECK(DecodeHexLink(EncodeHexLink(units)) == units);
    const std::string hexOnly = EncodeHexLink(units);
    if (argument.size() % 4 == 0 && argument.find_first_not_of("0123456789ABCDEF") == std::string::npos)
        FUZZ_CHECK(hexOnly == argument);

    for (bool doubleByte : {false, true}) {
        fuzzshim::SetDoubleByteAnsi(doubleByte);
        HandOver handOver;
        if (!PrepareLinkHandOver(argument, Charsets(), handOver)) {
            FUZZ_CHECK(argument.find(' ') == std::string::npos);
            continue;
        }
        FUZZ_CHECK(handOver.kind == kHandOverLink);
        FUZZ_CHECK(handOver.codePage == Charsets().CodePageFromName(link.charset));
        // The texts must reach the window whole: no zero may cut them there.
        FUZZ_CHECK(handOver.first.find('\0') == std::string::npos);
        FUZZ_CHECK(handOver.second.find('\0') == std::string::npos);
        const auto payload = BuildHandOverMessage(handOver);
        HandOver received;
        FUZZ_CHECK(ReadHandOverMessage(payload.data(), payload.size(), received));
        FUZZ_CHECK(received.first == handOver.first && received.second == handOver.second);
    }
    return 0;
}
