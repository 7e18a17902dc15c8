// Reply codes written by the server after its reply marker, and the result
// codes (message IDs) they map to.
#pragma once
#include <span>
#include <string>
#include <string_view>

// The program's string IDs: result codes are message IDs, so they are taken
// from the one header the string table is built from.
#include "app/resource.h"

namespace client {

inline constexpr char kReplyMarker[] = "QuarrowReturnValue:";
inline constexpr char kReplySuccess[] = "Success";
inline constexpr char kReplyPageError[] = "OTHERERR_PAGEERROR";
inline constexpr char kReplyException[] = "OTHERERR_EXCEPTION";

// Result codes: 0 is success, anything else is the ID of the message to show.
enum ResultCode : int {
    kResultOk = 0,
    kResultNotConnected = IDS_NOT_CONNECTED,
    kResultConnectError = IDS_CONNECT_ERROR,
    kResultServerError = IDS_SERVER_ERROR,
    kResultUndefinedError = IDS_UNDEFINED_ERROR,
    kResultCannotOpenFile = IDS_CANNOT_OPEN_FILE,
    kResultNoDisk = IDS_NO_DISK,
    kResultThreadFailed = IDS_THREAD_FAILED,
    kResultTimeout = IDS_TIMEOUT,
};

struct ReplyEntry {
    const char* code;
    int result;
};

// The server's reply codes with their result codes, in the order they are compared.
std::span<const ReplyEntry> ReplyCodeTable();

// Searches accumulated reply text for a complete marker line. On success stores
// the text between the marker and the next line feed (not trimmed) in `code`.
bool FindReplyCode(std::string_view text, std::string& code);

// The reply code of a whole page, or "OTHERERR_PAGEERROR" when it has no usable marker line.
std::string ReplyCodeOfPage(std::string_view text);

// Maps a reply code to its result code; unknown codes give 5504.
int MapReplyCode(std::string_view code);

}  // namespace client
