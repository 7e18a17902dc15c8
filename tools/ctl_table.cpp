#include "tools/ctl_table.h"

#include <algorithm>

namespace ctl {

namespace {

constexpr size_t kColumnGap = 2;

void AppendLine(std::string& out, const TableRow& cells, const std::vector<size_t>& widths) {
    std::string line;
    for (size_t i = 0; i < widths.size(); ++i) {
        const std::string empty;
        const std::string& cell = i < cells.size() ? cells[i] : empty;
        line += cell;
        if (i + 1 < widths.size()) line.append(widths[i] - cell.size() + kColumnGap, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out += line;
    out += '\n';
}

}  // namespace

std::string FormatTable(const TableRow& headers, const std::vector<TableRow>& rows) {
    std::vector<size_t> widths(headers.size(), 0);
    for (size_t i = 0; i < headers.size(); ++i) widths[i] = headers[i].size();
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i) widths[i] = std::max(widths[i], row[i].size());

    std::string out;
    AppendLine(out, headers, widths);
    for (const auto& row : rows) AppendLine(out, row, widths);
    return out;
}

std::string CellText(const std::string& text) {
    std::string cell = text;
    std::replace_if(cell.begin(), cell.end(), [](char c) { return c == '\r' || c == '\n' || c == '\t'; }, ' ');
    return cell;
}

}  // namespace ctl
