#include "client/StatusText.h"

namespace client {

bool CutBodyXml(const std::string& page, std::string& xml) {
    static const std::string kBody = "<body>";
    const size_t body = page.find(kBody);
    if (body == std::string::npos) return false;
    const size_t last = page.rfind('<');
    if (last == std::string::npos || last == 0) return false;
    const size_t cut = page.rfind('<', last - 1);
    if (cut == std::string::npos || cut < body + kBody.size()) return false;
    xml = page.substr(body + kBody.size(), cut - body - kBody.size());
    return true;
}

long long ItemNumber(std::wstring_view name, std::wstring_view prefix) {
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix || name[prefix.size()] == L'0' ||
        name.size() - prefix.size() > 10)
        return 0;
    long long number = 0;
    for (wchar_t c : name.substr(prefix.size())) {
        if (c < L'0' || c > L'9') return 0;
        number = number * 10 + (c - L'0');
    }
    return number;
}

}  // namespace client
