// The scans of the root and folder pages: plain text work on the page bytes.
#include "client/FolderScan.h"

#include "client/PageLimit.h"

namespace client {

void ScanRootPage(const std::string& page, std::vector<std::string>& disks) {
    static const std::string kInput = "<input type=\"hidden\"";
    static const std::string kValue = "value=\"";
    size_t pos = 0;
    for (;;) {
        const size_t input = page.find(kInput, pos);
        if (input == std::string::npos) return;
        const size_t value = page.find(kValue, input);
        if (value == std::string::npos) return;
        const size_t begin = value + kValue.size();
        const size_t end = page.find('"', begin);
        if (end == std::string::npos) return;
        disks.push_back(page.substr(begin, end - begin));
        // Each value marker lies past its input marker, so the scan always moves on.
        pos = value;
    }
}

bool ScanFolderPage(const std::string& page, std::vector<std::string>& folders) {
    // Every "<div" takes the first "> " and the first " <" after it. Each of
    // those is found once and kept for all the "<div"s before it, so a page of
    // many "<div"s is read in one pass instead of once per "<div".
    size_t open = 0, close = 0, total = 0;
    for (size_t div = page.find("<div"); div != std::string::npos; div = page.find("<div", div + 1)) {
        if (open < div + 1) open = page.find("> ", div + 1);
        if (close < div + 1) close = page.find(" <", div + 1);
        if (open == std::string::npos || close == std::string::npos) break;
        if (open < close) {
            // Only the single spaces beside the tags go; spaces inside a name stay.
            const size_t begin = open + 2;
            const size_t length = begin < close ? close - begin : 0;
            // Nested "<div"s repeat the same name: bounded like a whole page.
            total += length;
            if (total > kMaxPageBytes) return false;
            folders.push_back(page.substr(begin, length));
        }
    }
    return true;
}

}  // namespace client
