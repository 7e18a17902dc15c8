#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tools/ctl_table.h"

using namespace ctl;

TEST(CtlTable, ColumnsAlignAndLongCellsAreCutVisibly) {
    const std::string huge(5 * 1024 * 1024, 'n');
    std::string table = FormatTable({"#", "Name", "Status"}, {{"1", "short", "ok"}, {"2", huge, "paused"}});
    const std::string cut = std::string(kMaxCellWidth - 3, 'n') + "...";
    const std::string pad(kMaxCellWidth - 4, ' ');
    EXPECT_EQ(
        "#  Name" + pad + "  Status\n1  short" + std::string(kMaxCellWidth - 5, ' ') + "  ok\n2  " + cut + "  paused\n",
        table);
}

TEST(CtlTable, DoubleByteCharactersAreNeverCutInHalf) {
    if (::GetACP() != 936) GTEST_SKIP() << "needs a double-byte ANSI code page";
    // Room for an odd number of bytes before the mark: the cut falls one short.
    static_assert((kMaxCellWidth - 3) % 2 == 1);
    std::string cell;
    while (cell.size() < 2 * kMaxCellWidth) cell += "\xD6\xD0";
    std::string want = cell.substr(0, kMaxCellWidth - 4);
    want += "...\n";
    const std::string table = FormatTable({"N"}, {{cell}});
    EXPECT_EQ(want, table.substr(table.find('\n') + 1));
}

// Whatever the server or another host sends, nothing reaches the terminal
// that it would act on (escape sequences, bells, backspaces, 8-bit controls).
TEST(CtlTable, ControlCharactersAreDropped) {
    struct Case {
        std::wstring text;
        const char* printable;
        const char* cell;
    } cases[] = {
        {L"plain name.iso", "plain name.iso", "plain name.iso"},
        {L"\x1b]0;owned\x07title\x1b[2J", "]0;ownedtitle[2J", "]0;ownedtitle[2J"},
        // U+0090 and U+009D (the 8-bit string and command introducers) are
        // the C1 controls that the Western code page can carry.
        {L"a\r\nb\tc\bd\x7f"
         L"e\x90"
         L"f\x9dg",
         "abcdefg", "a  b cdefg"},
    };
    for (const Case& c : cases) {
        // The ANSI form of the text, as the client hands it over.
        std::string ansi(c.text.size() * 2, '\0');
        ansi.resize(
            static_cast<size_t>(::WideCharToMultiByte(CP_ACP, 0, c.text.data(), static_cast<int>(c.text.size()),
                                                      ansi.data(), static_cast<int>(ansi.size()), nullptr, nullptr)));
        EXPECT_EQ(c.printable, PrintableText(ansi)) << c.printable;
        EXPECT_EQ(c.cell, CellText(ansi)) << c.cell;
    }
}
