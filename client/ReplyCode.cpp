#include "ReplyCode.h"

#include <iterator>

namespace client {

namespace {

struct ReplyEntry {
    const char* code;
    int result;
};

// Compared in this order; the server's spelling is kept letter for letter.
constexpr ReplyEntry kReplyTable[] = {
    {"ERR_NO_VALID_DIEVICE", 5001},
    {"ERR_NO_VALID_PARTITION", 5002},
    {"ERR_MAX_DOWNLOAD_COUNT", 5003},
    {"ERR_SYSTEM_BUSY", 5004},
    {"ERR_PATH_OVERLAP", 5005},
    {"ERR_FILENAME_OVERLAP", 5006},
    {"ERR_DIR_NOT_EXIST", 5007},
    {"ERR_SAVE_FILE", 5008},
    {"ERR_WRITE_PROTECT", 5009},
    {"ERR_DIR_ERROR", 5010},
    {"ERR_PAUSED_BEFORE", 5011},
    {"ERR_PAUSED_FINISHED", 5012},
    {"ERR_ITEM_DOWNLOADING", 5013},
    {"ERR_MAX_BT_DOWNLOAD", 5014},
    {"ERR_NTFS_PARTITION", 5015},
    {"ERR_PARTITION_RO", 5016},
    {"ERR_TORRENT_ADDED", 5017},
    {"ERR_READ_TORRENT", 5018},
    {"ERR_NOT_VALID_TORRENT", 5019},
    {"ERR_NOT_VALID_URL", 5020},
    {"ERR_ALL_ITEMS_RO_PARTITION", 5021},
    {"ERR_NULL_ITEM", 5022},
    {"ERR_BT_DISABLED", 5023},
    {"ERR_FINISHED_PAUSED", 5024},
    {"ERR_DOWNLOADING_FINISHED", 5025},
    {"ERR_SOME_ITEMS_RO_PARTITION", 5026},
    {"ERR_ALL_RO_PARTITION", 5028},
    {"ERR_NOT_SELECT", 5029},
    {"ERR_NO_USB", 5030},
    {"ERR_NO_FILE_USB2", 5032},
    {"ERR_NO_FILE_USB1", 5031},
    {"ERR_DISK_FILES", 5033},
    {"ERR_OPEN_RO", 5034},
    {"ERR_OPEN_REDUPLICATE_NAME", 5035},
    {"ERR_INVALID_URL", 5036},
    {kReplyException, kResultConnectError},
    {kReplyPageError, kResultServerError},
    {kReplySuccess, kResultOk},
};

}  // namespace

bool FindReplyCode(std::string_view text, std::string& code) {
    size_t marker = text.find(kReplyMarker);
    if (marker == std::string_view::npos) return false;
    size_t start = marker + (sizeof kReplyMarker - 1);
    if (start >= text.size()) return false;
    size_t lineFeed = text.find('\n', start);
    if (lineFeed == std::string_view::npos) return false;
    code.assign(text.substr(start, lineFeed - start));
    return true;
}

std::string ReplyCodeOfPage(std::string_view text) {
    std::string code;
    if (FindReplyCode(text, code)) return code;
    return kReplyPageError;
}

int MapReplyCode(std::string_view code) {
    for (const ReplyEntry& entry : kReplyTable)
        if (code == entry.code) return entry.result;
    return kResultUndefinedError;
}

}  // namespace client
