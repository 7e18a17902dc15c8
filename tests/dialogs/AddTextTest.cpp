// The add dialogs' rules: the checks on OK in their order, the "%" rule and
// the two URL texts.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "dialogs/AddText.h"

namespace {

using dialogs::Check;

TEST(AddText, PercentRuleAndUrlTexts) {
    struct Case {
        const char* url;
        bool raw;
        const char* doubled;
    } cases[] = {
        {"http://a/b%20c", false, "http://a/b%20c"},
        {"http://a/%25x", false, "http://a/%2525x"},
        {"http://a/5%.zip", true, "http://a/5%2525.zip"},
        {"http://a/%20%zz%25", true, "http://a/%252520%2525zz%252525"},
        {"http://a/x%4", false, "http://a/x%4"},  // fewer than two after it: proves nothing
        {"http://a/x%", false, "http://a/x%"},
        {"http://a/%aF", false, "http://a/%aF"},
        {"http://a/%g1", true, "http://a/%2525g1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.raw, dialogs::IsRawUrl(c.url)) << c.url;
        EXPECT_EQ(c.doubled, dialogs::DoublePercent(c.url)) << c.url;
    }
    dialogs::UrlTexts texts = dialogs::MakeUrlTexts("ftp://a/b c%25&d", 65001);
    EXPECT_EQ("ftp://a/b c%2525&d", texts.inCharset);
    EXPECT_EQ(texts.inCharset, texts.inUtf8);
    // UTF-8 escapes; the chosen page keeps its single bytes; "Default" splits at "?".
    if (::GetACP() == 1252) {
        texts = dialogs::MakeUrlTexts("http://a/\xE9?q=\xE9 %25", 1252);
        EXPECT_EQ("http://a/\xE9?q=\xE9 %2525", texts.inCharset);
        EXPECT_EQ("http://a/%C3%A9?q=%C3%A9 %2525", texts.inUtf8);
        texts = dialogs::MakeUrlTexts("http://a/\xE9?q=\xE9", 0);
        EXPECT_EQ("http://a/%C3%A9?q=\xE9", texts.inCharset);
        EXPECT_EQ("ftp://a/\xE9", dialogs::MakeUrlTexts("ftp://a/\xE9", 0).inCharset);
    }
}

TEST(AddText, ChecksInTheirOrderWithTheirFocus) {
    struct Case {
        bool ftp, fromUrl;
        const char *pcPath, *url, *savePath;
        UINT message;
        int focus;
    } cases[] = {
        // torrent: the URL source checks the URL first, the PC source the file name
        {false, true, "", "", "", IDS_URL_EMPTY, IDC_ADD_URL},
        {false, true, "", "www.x", "", IDS_URL_BAD_SCHEME, IDC_ADD_URL},
        {false, true, "", "HTTP://x", "", IDS_SAVE_PATH_EMPTY, IDC_ADD_SAVE_PATH},
        {false, true, "", "Ftp://x", "[HDD1]", 0, 0},
        {false, false, "", "", "", IDS_FILENAME_EMPTY, IDC_ADDBT_FILE},
        {false, false, "c:\\a.torrent", "www.x", "", IDS_SAVE_PATH_EMPTY, IDC_ADD_SAVE_PATH},
        {false, false, "c:\\a.torrent", "", "[HDD1]", 0, 0},
        // Web/FTP: the save path comes before the scheme
        {true, true, "", "", "", IDS_URL_EMPTY, IDC_ADD_URL},
        {true, true, "", "www.x", "", IDS_SAVE_PATH_EMPTY, IDC_ADD_SAVE_PATH},
        {true, true, "", "www.x", "[HDD1]", IDS_URL_BAD_SCHEME, IDC_ADD_URL},
        {true, true, "", "http:/x", "[HDD1]", IDS_URL_BAD_SCHEME, IDC_ADD_URL},
        {true, true, "", "fTP://x", "[HDD1]", 0, 0},
    };
    for (const Case& c : cases) {
        Check check = c.ftp ? dialogs::CheckAddFtp(c.url, c.savePath)
                            : dialogs::CheckAddBt(c.fromUrl, c.pcPath, c.url, c.savePath);
        EXPECT_EQ(c.message, check.message) << c.url << "|" << c.pcPath << "|" << c.savePath;
        EXPECT_EQ(c.focus, check.focus) << c.url << "|" << c.pcPath << "|" << c.savePath;
    }
}

TEST(AddText, CharsetBoxNamesFromTheTable) {
    client::CCSConvertor charsets;
    charsets.LoadCharsetText("Unicode (UTF-8),utf-8,65001\nWestern European,windows-1252,1252\n");
    auto choices = dialogs::CharsetChoices(charsets, "Default", 1252);
    ASSERT_EQ(3u, choices.size());
    EXPECT_EQ("Default", choices[0].name);
    EXPECT_EQ(0, choices[0].codePage);
    EXPECT_EQ("Unicode (UTF-8)", choices[1].name);
    EXPECT_EQ(65001, choices[1].codePage);
    EXPECT_EQ("Western European", choices[2].name);
    EXPECT_EQ(1252, choices[2].codePage);
    // Without a table the names are empty, "Default" stays first.
    choices = dialogs::CharsetChoices(client::CCSConvertor(), "Default", 936);
    EXPECT_EQ("", choices[1].name + choices[2].name);
    EXPECT_EQ(936, choices[2].codePage);
}

}  // namespace
