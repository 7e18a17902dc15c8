// The URL rules of the add dialogs that work on the text alone: the scheme
// check and the raw-or-encoded "%" rule.
#pragma once
#include <string>

namespace dialogs {

// Whether the URL starts with "http://" or "ftp://", in any letter case.
bool HasUrlScheme(const std::string& url);

// A URL is raw (not yet percent-encoded) as soon as one "%" is followed by two
// characters that are not both hexadecimal digits; a "%" with fewer than two
// characters after it proves nothing.
bool IsRawUrl(const std::string& url);
// Raw: every "%" becomes "%2525"; encoded: every "%25" becomes "%2525".
std::string DoublePercent(const std::string& url);

}  // namespace dialogs
