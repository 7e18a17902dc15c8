#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "client/CSConvertor.h"
#include "client/ReplyCode.h"
#include "client/StatusDocument.h"

using namespace client;

namespace {

std::string BtItem(int n, const std::string& name, const std::string& priority = "0",
                   const std::string& skip = "") {
    const char* tags[] = {"BTName", "BTContents", "BTRemainingTime", "BTTotalSize", "BTSchedule",
                          "BTThroughput", "BTStatus", "BTPriority", "BTItemId"};
    std::string values[] = {name, "c" + std::to_string(n), "1h", "10 MB", "50%", "3 KB/s", "downloading",
                            priority, "id" + std::to_string(n)};
    std::string xml = "<BTItem" + std::to_string(n) + ">";
    for (int i = 8; i >= 0; --i)  // children in any order
        if (tags[i] != skip) xml += std::string("<") + tags[i] + ">" + values[i] + "</" + tags[i] + ">";
    return xml + "</BTItem" + std::to_string(n) + ">";
}

std::string WebItem(int n, const std::string& name) {
    std::string xml = "<WebFTPItem" + std::to_string(n) + "><WebFTPFileName>" + name +
                      "</WebFTPFileName><WebFTPSize>5</WebFTPSize><WebFTPLoadSize>1</WebFTPLoadSize>"
                      "<WebFTPStatus>paused</WebFTPStatus><WebFTPSavePath>[HDD1]\\dl\\</WebFTPSavePath>"
                      "<WebFTPURL>http://h/" + name + "</WebFTPURL>";
    return xml + "</WebFTPItem" + std::to_string(n) + ">";
}

std::string Document(const std::string& bt, const std::string& web, const std::string& rootAttributes =
                                                                           " version=\"2.1\"") {
    return "<Quarrow" + rootAttributes + "><BTDownload><BTEnable>1</BTEnable>" + bt +
           "</BTDownload><WebFTPDownload><WebFTPEnable>0</WebFTPEnable>" + web + "</WebFTPDownload></Quarrow>";
}

}  // namespace

TEST(StatusCut, Table) {
    struct Case {
        const char* page;
        bool ok;
        const char* xml;
    } cases[] = {
        {"<html>QuarrowReturnValue:Success\n<body><Quarrow/></body></html>", true, "<Quarrow/>"},
        {"<body><a/></body></html>\r\n", true, "<a/>"},
        // Exactly the last two "<" go, whatever they are.
        {"<body><a/></body></html><!-- x -->", true, "<a/></body>"},
        {"<body></body></html>", true, ""},
        {"<body>x</html>", false, ""},    // the second cut would fall inside "<body>"
        {"<body>abc", false, ""},
        {"<BODY><a/></BODY></HTML>", false, ""},  // case-sensitive
        {"<a/></b></c>", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        std::string xml = "untouched";
        EXPECT_EQ(c.ok, CutBodyXml(c.page, xml)) << c.page;
        if (c.ok) {
            EXPECT_EQ(c.xml, xml) << c.page;
        }
    }
}

TEST(StatusParse, FullDocument) {
    // BTItem2 comes first in the document; the list follows the numbers.
    std::string xml = Document("<BTItemCount>2</BTItemCount>" + BtItem(2, "second", "-1") + BtItem(1, "first", "1"),
                               "<WebFTPItemCount>1</WebFTPItemCount>" + WebItem(1, "a&amp;b.iso"));
    ServerStatus status;
    ASSERT_EQ(kReplySuccess, ParseStatusDocument(xml, status));
    EXPECT_EQ("2.1", status.version);
    EXPECT_EQ(1, status.btEnabled);
    EXPECT_EQ(0, status.webFtpEnabled);
    ASSERT_EQ(2u, status.btItems.size());
    const BTItem& bt = status.btItems[0];
    EXPECT_EQ("first", bt.name);
    EXPECT_EQ("c1", bt.contents);
    EXPECT_EQ("1h", bt.remainingTime);
    EXPECT_EQ("10 MB", bt.totalSize);
    EXPECT_EQ("50%", bt.schedule);
    EXPECT_EQ("3 KB/s", bt.throughput);
    EXPECT_EQ("downloading", bt.status);
    EXPECT_EQ(1, bt.priority);
    EXPECT_EQ("id1", bt.itemId);
    EXPECT_EQ(-1, status.btItems[1].priority);
    ASSERT_EQ(1u, status.webFtpItems.size());
    const WebFTPItem& web = status.webFtpItems[0];
    EXPECT_EQ("a&b.iso", web.fileName);
    EXPECT_EQ("5", web.size);
    EXPECT_EQ("1", web.loadedSize);
    EXPECT_EQ("paused", web.status);
    EXPECT_EQ("[HDD1]\\dl\\", web.savePath);
    EXPECT_EQ("http://h/a&b.iso", web.url);
}

TEST(StatusParse, ZeroCountsGiveEmptyLists) {
    ServerStatus status;
    EXPECT_EQ(kReplySuccess, ParseStatusDocument(Document("<BTItemCount>0</BTItemCount>" + BtItem(1, "x"),
                                                          "<WebFTPItemCount>0</WebFTPItemCount>"),
                                                 status));
    EXPECT_TRUE(status.btItems.empty());
    EXPECT_TRUE(status.webFtpItems.empty());
}

TEST(StatusParse, FailureKeepsTheItemsReadSoFar) {
    struct Case {
        const char* what;
        std::string xml;
        size_t bt, web;
    } cases[] = {
        {"count larger than items",
         Document("<BTItemCount>3</BTItemCount>" + BtItem(1, "a") + BtItem(2, "b"),
                  "<WebFTPItemCount>1</WebFTPItemCount>" + WebItem(1, "w")),
         2, 0},
        {"missing child", Document("<BTItemCount>2</BTItemCount>" + BtItem(1, "a") + BtItem(2, "b", "0", "BTItemId"),
                                   "<WebFTPItemCount>0</WebFTPItemCount>"),
         1, 0},
        {"missing BT count", Document(BtItem(1, "a"), "<WebFTPItemCount>1</WebFTPItemCount>" + WebItem(1, "w")), 0,
         0},
        {"missing web count", Document("<BTItemCount>1</BTItemCount>" + BtItem(1, "a"), WebItem(1, "w")), 1, 0},
        {"web count too large",
         Document("<BTItemCount>0</BTItemCount>", "<WebFTPItemCount>2</WebFTPItemCount>" + WebItem(1, "w")), 0, 1},
    };
    for (const Case& c : cases) {
        ServerStatus status;
        EXPECT_EQ(kReplyPageError, ParseStatusDocument(c.xml, status)) << c.what;
        EXPECT_EQ(c.bt, status.btItems.size()) << c.what;
        EXPECT_EQ(c.web, status.webFtpItems.size()) << c.what;
    }
}

TEST(StatusParse, EnableTexts) {
    struct Case {
        const char* text;
        int want;
    } cases[] = {{"1", 1}, {"10", 1}, {"0", 0}, {"true", 0}, {"", 0}, {"2", 0}};
    for (const Case& c : cases) {
        std::string xml = "<Quarrow version=\"1\"><BTDownload><BTEnable>" + std::string(c.text) +
                          "</BTEnable><BTItemCount>0</BTItemCount></BTDownload><WebFTPDownload><WebFTPEnable>" +
                          c.text + "</WebFTPEnable><WebFTPItemCount>0</WebFTPItemCount></WebFTPDownload></Quarrow>";
        ServerStatus status;
        ASSERT_EQ(kReplySuccess, ParseStatusDocument(xml, status)) << c.text;
        EXPECT_EQ(c.want, status.btEnabled) << c.text;
        EXPECT_EQ(c.want, status.webFtpEnabled) << c.text;
    }
}

TEST(StatusParse, DocumentShapeErrors) {
    const std::string empty = Document("<BTItemCount>0</BTItemCount>", "<WebFTPItemCount>0</WebFTPItemCount>");
    struct Case {
        const char* what;
        std::string xml;
        const char* want;
    } cases[] = {
        {"plain", empty, kReplySuccess},
        {"empty version", Document("<BTItemCount>0</BTItemCount>", "<WebFTPItemCount>0</WebFTPItemCount>",
                                   " version=\"\""),
         kReplySuccess},
        {"declaration", "<?xml version=\"1.0\"?>" + empty, kReplyPageError},
        {"comment first", "<!-- status -->" + empty, kReplyPageError},
        {"no version", Document("<BTItemCount>0</BTItemCount>", "<WebFTPItemCount>0</WebFTPItemCount>", ""),
         kReplyPageError},
        {"other attribute", Document("<BTItemCount>0</BTItemCount>", "<WebFTPItemCount>0</WebFTPItemCount>",
                                     " Version=\"1\""),
         kReplyPageError},
        {"root name case", "<quarrow version=\"1\"/>", kReplyPageError},
        {"no BTEnable", "<Quarrow version=\"1\"><BTDownload/></Quarrow>", kReplyPageError},
        {"broken", empty.substr(0, empty.size() - 3), kReplyPageError},
        {"empty", "", kReplyPageError},
    };
    for (const Case& c : cases) {
        ServerStatus status;
        EXPECT_EQ(c.want, ParseStatusDocument(c.xml, status)) << c.what;
    }
}

// What the status operation does with the page's UTF-8: convert to ANSI, then parse.
TEST(StatusParse, NamesOutsideTheCodePageArriveAsDefaultCharacter) {
    std::string utf8 = Document("<BTItemCount>1</BTItemCount>" + BtItem(1, "\xE0\xB8\x81-caf\xC3\xA9-\xE4\xB8\xAD"),
                                "<WebFTPItemCount>0</WebFTPItemCount>");
    ServerStatus status;
    ASSERT_EQ(kReplySuccess, ParseStatusDocument(CCSConvertor::ConvertToAnsi(utf8, 65001), status));
    ASSERT_EQ(1u, status.btItems.size());
    // Thai is in neither 1252 nor 936; e-acute is in both; the CJK letter only in 936.
    if (::GetACP() == 936)
        EXPECT_EQ("?-caf\xA8\xA6-\xD6\xD0", status.btItems[0].name);
    else if (::GetACP() == 1252)
        EXPECT_EQ("?-caf\xE9-?", status.btItems[0].name);
    else
        GTEST_SKIP() << "expectations for code pages 1252 and 936 only";
}

TEST(DefaultPathDocument, Table) {
    struct Case {
        const char* xml;
        bool ok;
        const char* path;
    } cases[] = {
        {"<DefaultPath>[HDD1]download\\</DefaultPath>", true, "[HDD1]download\\"},
        {"<DefaultPath></DefaultPath>", true, ""},
        {"<Other><DefaultPath>x</DefaultPath></Other>", false, ""},  // top level only
        {"<defaultpath>x</defaultpath>", false, ""},
        {"<DefaultPath>x", false, ""},
    };
    for (const Case& c : cases) {
        std::string path = "before";
        EXPECT_EQ(c.ok, ParseDefaultPathDocument(c.xml, path)) << c.xml;
        EXPECT_EQ(c.ok ? c.path : "before", path) << c.xml;
    }
}
