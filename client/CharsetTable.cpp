// The character-set table and the decimal reading it shares with the status
// document: plain text work, with no conversion of the platform involved.
#include "CSConvertor.h"

#include <climits>

namespace client {

int ReadDecimal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

void CCSConvertor::LoadCharsetText(const std::string& text) {
    entries_.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        // Files edited on Windows end their lines with CR LF.
        if (!line.empty() && line.back() == '\r') line.pop_back();

        size_t first = line.find(',');
        if (first == std::string::npos) continue;
        size_t second = line.find(',', first + 1);
        if (second == std::string::npos) continue;
        stcs entry;
        entry.displayName = line.substr(0, first);
        entry.charsetName = line.substr(first + 1, second - first - 1);
        if (entry.displayName.empty() || entry.charsetName.empty()) continue;
        entry.codePage = ReadDecimal(line.substr(second + 1));
        entries_.push_back(std::move(entry));
    }
}

int CCSConvertor::CodePageFromName(const std::string& charsetName) const {
    for (const stcs& entry : entries_)
        if (entry.charsetName == charsetName) return entry.codePage;
    return 0;
}

std::string CCSConvertor::NameFromCodePage(int codePage) const {
    for (const stcs& entry : entries_)
        if (entry.codePage == codePage) return entry.displayName;
    return {};
}

}  // namespace client
