// The download service's state as the status page reports it.
#pragma once
#include <string>
#include <vector>

namespace client {

struct BTItem {
    std::string name;
    std::string contents;
    std::string remainingTime;
    std::string totalSize;
    std::string schedule;
    std::string throughput;
    std::string status;
    int priority = 0;
    std::string itemId;
    // Not in the document: derived for display from the status text.
    int textColor = 0;
    int backColor = 0;
    int paused = 0;
};

struct WebFTPItem {
    std::string fileName;
    std::string size;
    std::string loadedSize;
    std::string status;
    std::string savePath;
    std::string url;
    int textColor = 0;
    int backColor = 0;
    int paused = 0;
};

struct ServerStatus {
    std::string version;
    int btEnabled = 0;
    int webFtpEnabled = 0;
    std::vector<BTItem> btItems;
    std::vector<WebFTPItem> webFtpItems;
};

}  // namespace client
