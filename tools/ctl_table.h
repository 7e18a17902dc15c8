// Plain-text tables for the console tool: left-aligned columns, two spaces apart.
#pragma once
#include <string>
#include <vector>

namespace ctl {

using TableRow = std::vector<std::string>;

// One header line and one line per row. Widths are counted in bytes, which is
// exact for single-byte ANSI code pages; with a double-byte code page a wide
// character may push its row's later columns a little to the right.
// Trailing blanks are not written, so a line never ends in spaces.
std::string FormatTable(const TableRow& headers, const std::vector<TableRow>& rows);

// Texts that cross into a table cell: line breaks and tabs would break the
// layout, so they become single spaces.
std::string CellText(const std::string& text);

}  // namespace ctl
