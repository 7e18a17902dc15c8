#include <gtest/gtest.h>

#include "app/CommandLine.h"

using namespace app;

TEST(CommandLine, OnlyTheExactLowerCaseSwitchesCount) {
    struct Case {
        const char* text;
        CommandForm form;
        const char* argument;
    } cases[] = {
        {"", CommandForm::Normal, ""},
        {"/r", CommandForm::Register, ""},
        {"/rubbish", CommandForm::Register, "ubbish"},
        {"/u", CommandForm::Unregister, ""},
        {"/f \"C:\\a b.torrent\"", CommandForm::TorrentFile, "\"C:\\a b.torrent\""},
        {"/f   \"x\"", CommandForm::TorrentFile, "\"x\""},
        {"/l 61006200 gb2312", CommandForm::Link, "61006200 gb2312"},
        {"/R", CommandForm::Normal, ""},
        {"/U", CommandForm::Normal, ""},
        {"/x", CommandForm::Normal, ""},
        {"-r", CommandForm::Normal, ""},
        {"/", CommandForm::Normal, ""},
        {" /r", CommandForm::Normal, ""},
    };
    for (const Case& c : cases) {
        Command command = ParseCommandLine(c.text);
        EXPECT_EQ(c.form, command.form) << c.text;
        if (c.form != CommandForm::Normal) { EXPECT_EQ(c.argument, command.argument) << c.text; }
    }
}

TEST(CommandLine, TorrentArgumentLosesItsQuotes) {
    EXPECT_EQ("C:\\Torrents\\a b.torrent", TorrentPathFromArgument("\"C:\\Torrents\\a b.torrent\""));
    EXPECT_EQ("", TorrentPathFromArgument("\""));
    EXPECT_EQ("", TorrentPathFromArgument(""));
}

TEST(CommandLine, LinkArgument) {
    LinkArgument link;
    ASSERT_TRUE(ParseLinkArgument("61006200 utf-8", link));
    EXPECT_EQ("61006200", link.hexLink);
    EXPECT_EQ("utf-8", link.charset);
    EXPECT_EQ(L"ab", DecodeHexLink(link.hexLink));
    EXPECT_FALSE(ParseLinkArgument("61006200", link));  // no blank: nothing to hand over
    EXPECT_EQ(std::wstring(L"\x00e9"), DecodeHexLink("E900"));
    EXPECT_EQ(std::wstring(L"\x0001"), DecodeHexLink("z1x0"));  // other characters count as 0
    EXPECT_EQ(L"", DecodeHexLink("610"));
}
