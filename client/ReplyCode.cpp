#include "ReplyCode.h"

namespace client {

namespace {

// Compared in this order; the server's spelling is kept letter for letter.
constexpr ReplyEntry kReplyTable[] = {
    {"ERR_NO_VALID_DIEVICE", IDS_ERR_NO_VALID_DEVICE},
    {"ERR_NO_VALID_PARTITION", IDS_ERR_NO_VALID_PARTITION},
    {"ERR_MAX_DOWNLOAD_COUNT", IDS_ERR_MAX_DOWNLOAD_COUNT},
    {"ERR_SYSTEM_BUSY", IDS_ERR_SYSTEM_BUSY},
    {"ERR_PATH_OVERLAP", IDS_ERR_PATH_OVERLAP},
    {"ERR_FILENAME_OVERLAP", IDS_ERR_FILENAME_OVERLAP},
    {"ERR_DIR_NOT_EXIST", IDS_ERR_DIR_NOT_EXIST},
    {"ERR_SAVE_FILE", IDS_ERR_SAVE_FILE},
    {"ERR_WRITE_PROTECT", IDS_ERR_WRITE_PROTECT},
    {"ERR_DIR_ERROR", IDS_ERR_DIR_ERROR},
    {"ERR_PAUSED_BEFORE", IDS_ERR_PAUSED_BEFORE},
    {"ERR_PAUSED_FINISHED", IDS_ERR_PAUSED_FINISHED},
    {"ERR_ITEM_DOWNLOADING", IDS_ERR_ITEM_DOWNLOADING},
    {"ERR_MAX_BT_DOWNLOAD", IDS_ERR_MAX_BT_DOWNLOAD},
    {"ERR_NTFS_PARTITION", IDS_ERR_NTFS_PARTITION},
    {"ERR_PARTITION_RO", IDS_ERR_PARTITION_RO},
    {"ERR_TORRENT_ADDED", IDS_ERR_TORRENT_ADDED},
    {"ERR_READ_TORRENT", IDS_ERR_READ_TORRENT},
    {"ERR_NOT_VALID_TORRENT", IDS_ERR_NOT_VALID_TORRENT},
    {"ERR_NOT_VALID_URL", IDS_ERR_NOT_VALID_URL},
    {"ERR_ALL_ITEMS_RO_PARTITION", IDS_ERR_ALL_ITEMS_RO_PARTITION},
    {"ERR_NULL_ITEM", IDS_ERR_NULL_ITEM},
    {"ERR_BT_DISABLED", IDS_ERR_BT_DISABLED},
    {"ERR_FINISHED_PAUSED", IDS_ERR_FINISHED_PAUSED},
    {"ERR_DOWNLOADING_FINISHED", IDS_ERR_DOWNLOADING_FINISHED},
    {"ERR_SOME_ITEMS_RO_PARTITION", IDS_ERR_SOME_ITEMS_RO_PARTITION},
    {"ERR_ALL_RO_PARTITION", IDS_ERR_ALL_RO_PARTITION},
    {"ERR_NOT_SELECT", IDS_ERR_NOT_SELECT},
    {"ERR_NO_USB", IDS_ERR_NO_USB},
    {"ERR_NO_FILE_USB2", IDS_ERR_NO_FILE_USB2},
    {"ERR_NO_FILE_USB1", IDS_ERR_NO_FILE_USB1},
    {"ERR_DISK_FILES", IDS_ERR_DISK_FILES},
    {"ERR_OPEN_RO", IDS_ERR_OPEN_RO},
    {"ERR_OPEN_REDUPLICATE_NAME", IDS_ERR_OPEN_REDUPLICATE_NAME},
    {"ERR_INVALID_URL", IDS_ERR_INVALID_URL},
    {kReplyException, kResultConnectError},
    {kReplyPageError, kResultServerError},
    {kReplySuccess, kResultOk},
};

}  // namespace

std::span<const ReplyEntry> ReplyCodeTable() { return kReplyTable; }

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
