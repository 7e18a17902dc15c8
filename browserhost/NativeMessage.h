// What the browsers' native messaging carries to and from QuarrowHost: frames of a 32-bit
// length in the machine's byte order followed by that many bytes of UTF-8 JSON, and the one
// request the host understands, {"url": LINK, "charset": NAME}. Plain functions over bytes,
// so that every check can be tried without a browser.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace browserhost {

// The longest request taken. A link only goes as far as a command line of 32767 characters,
// four per UTF-16 unit, and even written all in "\uXXXX" escapes it stays far below this.
constexpr uint32_t kMaxRequestBytes = 64 * 1024;

// One member of a JSON object, with the value's kind and, for a string, its text. Values of
// other kinds are checked and kept only by kind: the request needs none of them.
struct JsonMember {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    std::wstring name;
    Kind kind = Kind::Null;
    std::wstring text;
};

// Parses `text` (RFC 8259, UTF-8) as one JSON object and returns its members in order.
// False for anything else: not UTF-8, a syntax error, a lone surrogate in an escape, nesting
// deeper than 32 levels, a name that occurs twice, or bytes after the object.
bool ParseJsonObject(std::string_view text, std::vector<JsonMember>& members);

struct LinkRequest {
    std::wstring link;
    std::wstring charset;  // the page's character set as the browser names it; may be empty
};

// Checks one request body. Empty on success; otherwise the text to show the user. A request
// needs "url", a text that Quarrow can add (it starts with "http://" or "ftp://", in any letter
// case) and that holds no control character; "charset", when present, is a text too. Other
// members are left alone, so that a newer browser extension still reaches an older host.
std::string CheckLinkRequest(std::string_view body, LinkRequest& request);

// The answer frames: {"ok":true} or {"ok":false,"error":TEXT}, each behind its length.
std::string Frame(std::string_view json);
std::string OkReply();
std::string ErrorReply(std::string_view text);

// The messages for requests that the checks above cannot see.
extern const char kTooLongForCommandLine[];
extern const char kNotStarted[];
extern const char kTooLarge[];
extern const char kTruncated[];

}  // namespace browserhost
