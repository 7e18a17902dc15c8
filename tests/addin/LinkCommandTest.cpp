#include <gtest/gtest.h>

#include <string>

#include "addin/LinkCommand.h"

using namespace brevlet;

TEST(LinkCommand, HexCarriesEveryUtf16UnitLowByteFirst) {
    const struct {
        std::wstring link;
        const char* hex;
    } cases[] = {
        {L"ab", "61006200"},
        {L"", ""},
        {L"\x4E2D\x00E9", "2D4EE900"},  // CJK and Latin-1
        {L"\xD83D\xDE00", "3DD800DE"},  // a surrogate pair stays two units
        {std::wstring(1, L'\0') + L"\xFFFF", "0000FFFF"},
        {L"http://x/a b\"c", "68007400740070003A002F002F0078002F0061002000620022006300"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.hex, HexLink(c.link));
    EXPECT_EQ(40000u, HexLink(std::wstring(10000, L'\x20AC')).size());
}

TEST(LinkCommand, ParametersOfBothForms) {
    const struct {
        std::string built;
        const char* expected;
    } cases[] = {
        {QuotedLinkParameters("http://x/a b"), "/l \"http://x/a b\""},
        // A quote cannot close the quoting early and start arguments of its own.
        {QuotedLinkParameters("http://x/\" /r \""), "/l \"http://x/%22 /r %22\""},
        {QuotedLinkParameters(""), "/l \"\""},
        {LinkWithLangParameters("61006200", "gb2312"), "/l 61006200 gb2312"},
        {LinkWithLangParameters("", "utf-8"), "/l  utf-8"},
        {LinkWithLangParameters("6100", ""), "/l 6100 "},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, c.built);
}

TEST(LinkCommand, CharsetNameStaysOneWord) {
    const struct {
        const wchar_t* name;
        const wchar_t* safe;
    } cases[] = {
        {L"utf-8", L"utf-8"},
        {L"ISO_8859-1:1987", L"ISO_8859-1:1987"},
        {L"ks_c_5601-1987", L"ks_c_5601-1987"},
        {L"x /r", L"x__r"},
        {L"a\"b", L"a_b"},
        {L"a\tb\r\n", L"a_b__"},
        {L"\x4E2D\xFF02", L"__"},
        {L"", L""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.safe, CommandLineCharset(c.name)) << c.name;
}

TEST(LinkCommand, ProgramBesideTheModuleAndTheLineLimit) {
    EXPECT_EQ(L"C:\\Program Files\\Q\\Quarrow.exe", ProgramBeside(L"C:\\Program Files\\Q\\Brevlet.dll"));
    EXPECT_EQ(L"Quarrow.exe", ProgramBeside(L"Brevlet.dll"));
    EXPECT_EQ(L"\\\\server\\share\\Quarrow.exe", ProgramBeside(L"\\\\server\\share\\Brevlet.dll"));

    // "PROGRAM" PARAMETERS and the terminating zero within 32767 characters.
    const std::wstring program = L"C:\\Q\\Quarrow.exe";  // 16 characters
    EXPECT_TRUE(FitsCommandLine(program, std::wstring(32767 - 16 - 3 - 1, L'0')));
    EXPECT_FALSE(FitsCommandLine(program, std::wstring(32767 - 16 - 3, L'0')));
}
