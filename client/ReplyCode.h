// Reply codes written by the server after its reply marker, and the result
// codes (message IDs) they map to.
#pragma once
#include <string>
#include <string_view>

namespace client {

inline constexpr char kReplyMarker[] = "QuarrowReturnValue:";
inline constexpr char kReplySuccess[] = "Success";
inline constexpr char kReplyPageError[] = "OTHERERR_PAGEERROR";
inline constexpr char kReplyException[] = "OTHERERR_EXCEPTION";

// Result codes: 0 is success, anything else is the ID of the message to show.
enum ResultCode : int {
    kResultOk = 0,
    kResultNotConnected = 5501,
    kResultConnectError = 5502,
    kResultServerError = 5503,
    kResultUndefinedError = 5504,
    kResultCannotOpenFile = 5505,
    kResultNoDisk = 5513,
    kResultThreadFailed = 5515,
    kResultTimeout = 5516,
};

// Searches accumulated reply text for a complete marker line. On success stores
// the text between the marker and the next line feed (not trimmed) in `code`.
bool FindReplyCode(std::string_view text, std::string& code);

// The reply code of a whole page, or "OTHERERR_PAGEERROR" when it has no usable marker line.
std::string ReplyCodeOfPage(std::string_view text);

// Maps a reply code to its result code; unknown codes give 5504.
int MapReplyCode(std::string_view code);

}  // namespace client
