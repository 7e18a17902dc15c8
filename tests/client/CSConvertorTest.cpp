#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "client/CSConvertor.h"
#include "client/WebFtpKey.h"

using namespace client;

namespace {

// The text in the running system's ANSI code page ("" when it lacks a
// character; a best-fit look-alike such as "e" for e-acute does not count).
std::string Ansi(const std::wstring& text) {
    BOOL usedDefault = FALSE;
    char buffer[256] = {};
    int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()), buffer,
                                  sizeof buffer, nullptr, &usedDefault);
    return usedDefault ? std::string() : std::string(buffer, static_cast<size_t>(n));
}

std::string TempFile(const std::string& content) {
    char dir[MAX_PATH], path[MAX_PATH];
    ::GetTempPathA(MAX_PATH, dir);
    ::GetTempFileNameA(dir, "cs", 0, path);
    HANDLE h = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(h, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(h);
    return path;
}

// A double-byte character of the ANSI code page whose trail byte is `trail`, or "".
std::string DoubleByteWithTrail(char trail) {
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        if (!::IsDBCSLeadByte(static_cast<BYTE>(lead))) continue;
        char bytes[2] = {static_cast<char>(lead), trail};
        wchar_t wide[2];
        if (::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, 2, wide, 2) == 1) return {bytes, 2};
    }
    return {};
}

}  // namespace

TEST(CharsetTable, LineRules) {
    CCSConvertor cs;
    cs.LoadCharsetText(
        "Western,windows-1252,1252\r\n"
        "only,one comma\n"
        ",nameless,936\n"
        "Empty charset,,936\n"
        "\n"
        "Trailing,x-trail,932 japanese\n"
        "Blank lead,x-blank,  949\n"
        "Not a number,x-nan,abc\n"
        "Extra,x-extra,1250,1251\n"
        "Huge,x-huge,99999999999\n"
        "Last,utf-8,65001");  // no line break at the end
    std::vector<std::vector<std::string>> got;
    for (const stcs& e : cs.Entries()) got.push_back({e.displayName, e.charsetName, std::to_string(e.codePage)});
    std::vector<std::vector<std::string>> want = {
        {"Western", "windows-1252", "1252"}, {"Trailing", "x-trail", "932"}, {"Blank lead", "x-blank", "949"},
        {"Not a number", "x-nan", "0"},      {"Extra", "x-extra", "1250"},   {"Huge", "x-huge", "2147483647"},
        {"Last", "utf-8", "65001"},
    };
    EXPECT_EQ(want, got);
}

TEST(CharsetTable, LookupsAreExactAndFirstMatch) {
    CCSConvertor cs;
    cs.LoadCharsetText("GB2312 name,gb2312,936\nGBK name,gbk,936\nUTF,utf-8,65001\nLater,gb2312,950\n");
    EXPECT_EQ(936, cs.CodePageFromName("gb2312"));
    EXPECT_EQ(936, cs.CodePageFromName("gbk"));
    EXPECT_EQ(0, cs.CodePageFromName("GB2312"));  // case-sensitive
    EXPECT_EQ(0, cs.CodePageFromName("gb2312 "));
    EXPECT_EQ(0, cs.CodePageFromName(""));
    EXPECT_EQ("GB2312 name", cs.NameFromCodePage(936));
    EXPECT_EQ("UTF", cs.NameFromCodePage(65001));
    EXPECT_EQ("", cs.NameFromCodePage(1252));
}

TEST(CharsetTable, FileLoadReplacesAndMissingFileEmpties) {
    CCSConvertor cs;
    std::string path = TempFile("A,a,1\r\nB,b,2\r\n");
    EXPECT_EQ(1, cs.LoadCharsetFile(path));
    EXPECT_EQ(2u, cs.Entries().size());
    EXPECT_EQ(1, cs.LoadCharsetFile(path));
    EXPECT_EQ(2u, cs.Entries().size());
    ::DeleteFileA(path.c_str());
    EXPECT_EQ(0, cs.LoadCharsetFile(path));
    EXPECT_TRUE(cs.Entries().empty());
}

// The table shipped beside the program: every line is an entry with a usable code page.
TEST(CharsetTable, ShippedFile) {
    char exe[MAX_PATH];
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string path = exe;
    path = path.substr(0, path.find_last_of('\\'));
    path = path.substr(0, path.find_last_of('\\')) + "\\app\\charset.csv";
    CCSConvertor cs;
    if (!cs.LoadCharsetFile(path)) GTEST_SKIP() << "no " << path;
    ASSERT_GE(cs.Entries().size(), 15u);
    for (const stcs& e : cs.Entries()) {
        EXPECT_TRUE(::IsValidCodePage(static_cast<UINT>(e.codePage))) << e.charsetName;
        EXPECT_EQ(e.codePage, cs.CodePageFromName(e.charsetName)) << "duplicate " << e.charsetName;
    }
    EXPECT_EQ(65001, cs.CodePageFromName("utf-8"));
    EXPECT_EQ(936, cs.CodePageFromName("gb2312"));
    EXPECT_FALSE(cs.NameFromCodePage(65001).empty());
    EXPECT_FALSE(cs.NameFromCodePage(static_cast<int>(::GetACP())).empty());
}

TEST(PercentEncoding, SingleBytesStayMultiBytesEscapeUpperCase) {
    struct Case {
        std::wstring text;
        int codePage;
        std::string want;
    } cases[] = {
        {L"abc", 65001, "abc"},
        {L"abc", 936, "abc"},
        {L"a b%&?=", 65001, "a b%&?="},  // ASCII is never escaped
        {L"\u554A", 936, "%B0%A1"},      // two bytes in GBK
        {L"\u554A", 65001, "%E5%95%8A"},
        {L"\u00E9", 65001, "%C3%A9"},
        {L"\u00E9", 1252, "\xE9"},                   // one byte in 1252: as is
        {L"\u554A", 1252, "?"},                      // unmappable: the substitute
        {L"\u0E01\u3042", 932, "?%82%A0"},           // Thai lacks in 932; hiragana is two bytes
        {L"a\U0001F600b", 65001, "a%F0%9F%98%80b"},  // a pair of units is one character
        // Code pages the system cannot convert to give nothing, not a cut link.
        {L"abc", 12345, ""},
        {L"abc", 1200, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.want, CCSConvertor::EncodeWideForCodePage(c.text, c.codePage)) << c.codePage;
}

TEST(PercentEncoding, CodePagesTheSystemCannotConvertTo) {
    for (int codePage : {65001, 65000, 1252, 936, 20932, 28591})
        EXPECT_TRUE(CCSConvertor::CanEncodeTo(codePage)) << codePage;
    for (int codePage : {0, -1, 1200, 12345, 99999999}) EXPECT_FALSE(CCSConvertor::CanEncodeTo(codePage)) << codePage;
}

TEST(PercentEncoding, AnsiTextUsesTheSystemCodePage) {
    const std::string e = Ansi(L"\u00E9");  // in 1252 and 936, not in 932
    if (e.empty()) GTEST_SKIP() << "no e-acute in code page " << ::GetACP();
    EXPECT_EQ("caf%C3%A9", CCSConvertor::EncodeForCodePage("caf" + e, 65001));
    const UINT acp = ::GetACP();
    if (acp == 1252) { EXPECT_EQ("caf\xE9", CCSConvertor::EncodeForCodePage("caf" + e, 1252)); }
    if (acp == 936) {
        EXPECT_EQ("caf%A8%A6", CCSConvertor::EncodeForCodePage("caf" + e, 936));
        EXPECT_EQ("%B0%A1", CCSConvertor::EncodeForCodePage("\xB0\xA1", 936));
        EXPECT_EQ("%E5%95%8A", CCSConvertor::EncodeForCodePage("\xB0\xA1", 65001));
    }
}

TEST(PercentEncoding, DefaultUrlEncoding) {
    const std::string e = Ansi(L"\u00E9");
    if (e.empty()) GTEST_SKIP() << "no e-acute in code page " << ::GetACP();
    const int acp = static_cast<int>(::GetACP());
    const std::string eAnsi = CCSConvertor::EncodeForCodePage(e, acp);  // "\xE9" or "%A8%A6"
    // Path in UTF-8, query (everything after the first "?") in the ANSI code page.
    EXPECT_EQ("http://h/caf%C3%A9?q=" + eAnsi + "?x",
              CCSConvertor::DefaultEncodeUrl("http://h/caf" + e + "?q=" + e + "?x"));
    EXPECT_EQ("http://h/a b%C3%A9", CCSConvertor::DefaultEncodeUrl("http://h/a b" + e));
    EXPECT_EQ("FTP://h/" + eAnsi + "?q", CCSConvertor::DefaultEncodeUrl("FTP://h/" + e + "?q"));
    EXPECT_EQ("", CCSConvertor::DefaultEncodeUrl(""));
}

TEST(AnsiConversion, Utf8ToSystemCodePage) {
    const std::string e = Ansi(L"\u00E9");
    if (!e.empty()) { EXPECT_EQ("caf" + e, CCSConvertor::ConvertToAnsi("caf\xC3\xA9", 65001)); }
    // Characters the code page lacks become its default character.
    EXPECT_EQ("x?y", CCSConvertor::ConvertToAnsi("x\xE0\xB8\x81y", 65001));  // Thai ko kai
    if (::GetACP() == 936) {
        EXPECT_EQ("\xB0\xA1", CCSConvertor::ConvertToAnsi("\xE5\x95\x8A", 65001));
        // Never longer than the input: e-acute from 1252 would take two bytes here.
        EXPECT_EQ("ab", CCSConvertor::ConvertToAnsi("ab\xE9", 1252));
    } else {
        EXPECT_EQ("?", CCSConvertor::ConvertToAnsi("\xE5\x95\x8A", 65001));
    }
}

TEST(CaretEscape, Table) {
    struct Case {
        std::string in, want;
    } cases[] = {
        {"a b+c", "a^20b^2Bc"},
        {"^", "^^"},
        {"%20", "^2520"},
        {"C:\\Torrents\\a b.torrent", "C:\\Torrents\\a^20b.torrent"},
        {"^+ /=%?&#@;$", "^^^2B^20^2F^3D^25^3F^26^23^40^3B^24"},
        {"C:\\x:y\\z-_.~!*'()", "C:\\x:y\\z-_.~!*'()"},
        // What the upload sends for a PC path with e-acute (already UTF-8 escaped).
        {"C:\\%C3%A9.torrent", "C:\\^25C3^25A9.torrent"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.want, CaretEscape(c.in)) << c.in;
}

TEST(WebFtpKey, Steps) {
    auto key = [](const char* path, const std::string& name) {
        WebFTPItem item;
        item.savePath = path;
        item.fileName = name;
        return BuildWebFtpKey(item);
    };
    EXPECT_EQ("[USB5]/movies/a%2520b%2525.avi", key("[HDD1]\\movies\\", "a b%.avi"));
    EXPECT_EQ("[USB3]/[USB4]/[USB6][USB7][USB8][USB5]/", key("[eSATA]\\[RAID]\\[HDD2][HDD3][HDD4][HDD1]\\", ""));
    // Labels are replaced in the save path only, before the name is appended.
    EXPECT_EQ("[USB6]/[HDD1].avi", key("[HDD2]\\", "[HDD1].avi"));
    EXPECT_EQ("[USB5]/a%252520.avi", key("[HDD1]\\", "a%20.avi"));
    const std::string e = Ansi(L"\u00E9");
    if (!e.empty()) { EXPECT_EQ("[USB5]/caf%C3%A9", key("[HDD1]\\", "caf" + e)); }
}

// In a double-byte code page a trail byte may equal "\\" or "@"; such a
// character must pass through whole, not be cut by the ASCII replacements.
TEST(WebFtpKey, DoubleByteTrailBytesAreNotSeparators) {
    const std::string backslashTrail = DoubleByteWithTrail('\\');
    if (backslashTrail.empty()) GTEST_SKIP() << "code page " << ::GetACP() << " has no such character";
    WebFTPItem item;
    item.savePath = "[HDD1]\\";
    item.fileName = backslashTrail + " x";
    EXPECT_EQ("[USB5]/" + CCSConvertor::EncodeForCodePage(backslashTrail, 65001) + "%2520x", BuildWebFtpKey(item));

    const std::string atTrail = DoubleByteWithTrail('@');
    ASSERT_FALSE(atTrail.empty());
    EXPECT_EQ(atTrail + "^40", CaretEscape(atTrail + "@"));
}
