// Plain-text tables for the console tool: left-aligned columns, two spaces apart.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace ctl {

using TableRow = std::vector<std::string>;

// The widest a column gets, in bytes. Longer cells are cut and end in "...",
// so that one very long text from the server cannot blow up every row.
inline constexpr size_t kMaxCellWidth = 100;

// One header line and one line per row. Widths are counted in bytes, which is
// exact for single-byte ANSI code pages; with a double-byte code page a wide
// character may push its row's later columns a little to the right.
// Trailing blanks are not written, so a line never ends in spaces.
std::string FormatTable(const TableRow& headers, const std::vector<TableRow>& rows);

// ANSI text from the server or the LAN, made safe to print: control
// characters (which a terminal would act on) are dropped.
std::string PrintableText(const std::string& text);

// Texts that cross into a table cell: line breaks and tabs would break the
// layout, so they become single spaces; other control characters are dropped.
std::string CellText(const std::string& text);

}  // namespace ctl
