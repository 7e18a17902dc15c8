#include "tools/ctl_table.h"

#include <windows.h>

#include <algorithm>

#include "client/CSConvertor.h"

namespace ctl {

namespace {

constexpr size_t kColumnGap = 2;
const char kCutMark[] = "...";

// At most kMaxCellWidth bytes, never ending inside a double-byte character.
std::string FitCell(const std::string& cell) {
    if (cell.size() <= kMaxCellWidth) return cell;
    const size_t room = kMaxCellWidth - (sizeof kCutMark - 1);
    size_t keep = 0;
    for (size_t i = 0; i < cell.size();) {
        size_t step = ::IsDBCSLeadByte(static_cast<BYTE>(cell[i])) ? 2 : 1;
        if (i + step > room) break;
        i += step;
        keep = i;
    }
    return cell.substr(0, keep) + kCutMark;
}

void AppendLine(std::string& out, const TableRow& cells, const std::vector<size_t>& widths) {
    std::string line;
    for (size_t i = 0; i < widths.size(); ++i) {
        const std::string cell = i < cells.size() ? FitCell(cells[i]) : std::string();
        line += cell;
        if (i + 1 < widths.size()) line.append(widths[i] - cell.size() + kColumnGap, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out += line;
    out += '\n';
}

// C0 controls, DEL and the C1 controls (ESC's 8-bit forms among them).
bool IsControl(wchar_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

std::string Filter(const std::string& text, bool spaceForBreaks) {
    std::wstring wide = client::CCSConvertor::ToWide(text, CP_ACP);
    std::wstring kept;
    kept.reserve(wide.size());
    for (wchar_t c : wide) {
        if (spaceForBreaks && (c == L'\r' || c == L'\n' || c == L'\t'))
            kept += L' ';
        else if (!IsControl(c))
            kept += c;
    }
    return client::CCSConvertor::FromWide(kept.data(), kept.size(), CP_ACP);
}

}  // namespace

std::string FormatTable(const TableRow& headers, const std::vector<TableRow>& rows) {
    std::vector<size_t> widths(headers.size(), 0);
    for (size_t i = 0; i < headers.size(); ++i) widths[i] = std::min(headers[i].size(), kMaxCellWidth);
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], std::min(row[i].size(), kMaxCellWidth));

    std::string out;
    AppendLine(out, headers, widths);
    for (const auto& row : rows) AppendLine(out, row, widths);
    return out;
}

std::string PrintableText(const std::string& text) { return Filter(text, false); }

std::string CellText(const std::string& text) { return Filter(text, true); }

}  // namespace ctl
