#include "dialogs/UrlText.h"

#include <cctype>

#include "client/CSConvertor.h"

namespace dialogs {

namespace {
bool StartsWithNoCase(const std::string& text, const char* head) {
    size_t i = 0;
    for (; head[i]; ++i)
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != head[i]) return false;
    return true;
}

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
}  // namespace

bool HasUrlScheme(const std::string& url) {
    return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "ftp://");
}

bool IsRawUrl(const std::string& url) {
    for (size_t i = url.find('%'); i != std::string::npos; i = url.find('%', i + 1))
        if (i + 2 < url.size() && !(IsHex(url[i + 1]) && IsHex(url[i + 2]))) return true;
    return false;
}

std::string DoublePercent(const std::string& url) {
    return IsRawUrl(url) ? client::ReplaceAnsi(url, "%", "%2525") : client::ReplaceAnsi(url, "%25", "%2525");
}

}  // namespace dialogs
