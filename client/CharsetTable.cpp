#include "client/CharsetTable.h"

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

std::list<stcs> ParseCharsetText(const std::string& text) {
    std::list<stcs> entries;
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
        entries.push_back(std::move(entry));
    }
    return entries;
}

int CodePageFromName(const std::list<stcs>& table, const std::string& charsetName) {
    for (const stcs& entry : table)
        if (entry.charsetName == charsetName) return entry.codePage;
    return 0;
}

std::string NameFromCodePage(const std::list<stcs>& table, int codePage) {
    for (const stcs& entry : table)
        if (entry.codePage == codePage) return entry.displayName;
    return {};
}

}  // namespace client
