#include "WebFtpKey.h"

#include "client/CSConvertor.h"

namespace client {

std::string BuildWebFtpKey(const WebFTPItem& item) {
    // The status page shows disks by their labels; the download table knows
    // them by the names it gave the USB ports.
    static const char* const kLabels[][2] = {
        {"[eSATA]", "[USB3]"}, {"[RAID]", "[USB4]"}, {"[HDD1]", "[USB5]"},
        {"[HDD2]", "[USB6]"},  {"[HDD3]", "[USB7]"}, {"[HDD4]", "[USB8]"},
    };
    std::string key = item.savePath;
    for (const auto& label : kLabels) key = ReplaceAnsi(std::move(key), label[0], label[1]);
    key += item.fileName;
    key = ReplaceAnsi(std::move(key), "\\", "/");
    // The table decodes the key twice, so "%" and " " arrive escaped twice.
    key = ReplaceAnsi(std::move(key), "%", "%2525");
    key = ReplaceAnsi(std::move(key), " ", "%2520");
    return CCSConvertor::EncodeForCodePage(key, CCSConvertor::GetUtf8CodePage());
}

}  // namespace client
