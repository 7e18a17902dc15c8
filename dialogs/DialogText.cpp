#include "dialogs/DialogText.h"

#include <cstdio>

#include "resources/resource.h"
#include "common/Dialog.h"
#include "common/WinUtil.h"

namespace dialogs {

std::string ServerEntryText(const mgmt::stserver& server) {
    char address[32];
    std::snprintf(address, sizeof address, " (%d.%d.%d.%d)", server.address[0], server.address[1], server.address[2],
                  server.address[3]);
    return server.name + address;
}

bool SelectFirstAfterAppend(int currentSelection, int count) { return count > 0 && currentSelection <= 0; }

int FindServer(const std::vector<mgmt::stserver>& servers, const mgmt::Ipv4& address) {
    for (size_t i = 0; i < servers.size(); ++i)
        if (servers[i].address == address) return static_cast<int>(i);
    return -1;
}

std::string ServerPath(const std::vector<std::string>& textsFromRoot) {
    if (textsFromRoot.empty()) return std::string();
    // A disk listed already in brackets is not bracketed twice.
    const std::string& disk = textsFromRoot.front();
    const bool bracketed = disk.size() >= 2 && disk.front() == '[' && disk.back() == ']';
    std::string path = bracketed ? disk : "[" + disk + "]";
    for (size_t i = 1; i < textsFromRoot.size(); ++i) path += textsFromRoot[i] + "\\";
    return path;
}

std::string FormatWithText(const std::string& format, const std::string& text) {
    size_t at = format.find("%s");
    if (at == std::string::npos) return format;
    return format.substr(0, at) + text + format.substr(at + 2);
}

}  // namespace dialogs
