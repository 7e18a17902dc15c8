// Reply codes written by the server after its reply marker, and the table
// that maps them to result codes (ResultCode.h).
#pragma once
#include <span>
#include <string>
#include <string_view>

#include "resources/ResultCode.h"

namespace client {

inline constexpr char kReplyMarker[] = "QuarrowReturnValue:";
inline constexpr char kReplySuccess[] = "Success";
inline constexpr char kReplyPageError[] = "OTHERERR_PAGEERROR";
inline constexpr char kReplyException[] = "OTHERERR_EXCEPTION";

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
