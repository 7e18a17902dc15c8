#include <gtest/gtest.h>
#include <windows.h>
#include <msxml2.h>

#include <string>
#include <vector>

#include "client/CSConvertor.h"
#include "client/ReplyCode.h"
#include "client/StatusDocument.h"
#include "common/Handle.h"

using namespace client;

namespace {

std::string BtItem(int n, const std::string& name, const std::string& priority = "0", const std::string& skip = "") {
    const char* tags[] = {"BTName",       "BTContents", "BTRemainingTime", "BTTotalSize", "BTSchedule",
                          "BTThroughput", "BTStatus",   "BTPriority",      "BTItemId"};
    std::string values[] = {name,     "c" + std::to_string(n), "1h", "10 MB", "50%", "3 KB/s", "downloading",
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
                      "<WebFTPURL>http://h/" +
                      name + "</WebFTPURL>";
    return xml + "</WebFTPItem" + std::to_string(n) + ">";
}

std::string Document(const std::string& bt, const std::string& web,
                     const std::string& rootAttributes = " version=\"2.1\"") {
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
        {"<body>x</html>", false, ""},  // the second cut would fall inside "<body>"
        {"<body>abc", false, ""},
        {"<BODY><a/></BODY></HTML>", false, ""},  // case-sensitive
        {"<a/></b></c>", false, ""},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        std::string xml = "untouched";
        EXPECT_EQ(c.ok, CutBodyXml(c.page, xml)) << c.page;
        if (c.ok) { EXPECT_EQ(c.xml, xml) << c.page; }
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
        {"missing child",
         Document("<BTItemCount>2</BTItemCount>" + BtItem(1, "a") + BtItem(2, "b", "0", "BTItemId"),
                  "<WebFTPItemCount>0</WebFTPItemCount>"),
         1, 0},
        {"missing BT count", Document(BtItem(1, "a"), "<WebFTPItemCount>1</WebFTPItemCount>" + WebItem(1, "w")), 0, 0},
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
        {"empty version",
         Document("<BTItemCount>0</BTItemCount>", "<WebFTPItemCount>0</WebFTPItemCount>", " version=\"\""),
         kReplySuccess},
        {"declaration", "<?xml version=\"1.0\"?>" + empty, kReplyPageError},
        {"comment first", "<!-- status -->" + empty, kReplyPageError},
        {"no version", Document("<BTItemCount>0</BTItemCount>", "<WebFTPItemCount>0</WebFTPItemCount>", ""),
         kReplyPageError},
        {"other attribute",
         Document("<BTItemCount>0</BTItemCount>", "<WebFTPItemCount>0</WebFTPItemCount>", " Version=\"1\""),
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

// The walk over the children gives what looking each element up by its name
// gives: the first element of a name wins, across repeated sections too, and
// the list ends at the first missing number.
TEST(StatusParse, ChildWalkMatchesLookupByName) {
    const std::string web0 = "<WebFTPItemCount>0</WebFTPItemCount>";
    struct Case {
        const char* what;
        std::string xml;
        const char* code;
        std::vector<std::string> bt;
    } cases[] = {
        {"duplicate item: the first wins",
         Document("<BTItemCount>2</BTItemCount>" + BtItem(2, "b") + BtItem(1, "a") + BtItem(2, "b2"), web0),
         kReplySuccess,
         {"a", "b"}},
        {"duplicate field: the first wins",
         Document("<BTItemCount>1</BTItemCount><BTItem1><BTName>first</BTName>" + BtItem(1, "a").substr(9), web0),
         kReplySuccess,
         {"first"}},
        {"second section adds items and loses the duplicate count",
         "<Quarrow version=\"1\"><BTDownload><BTEnable>1</BTEnable><BTItemCount>2</BTItemCount>" + BtItem(1, "a") +
             "</BTDownload><WebFTPDownload><WebFTPEnable>0</WebFTPEnable>" + web0 +
             "</WebFTPDownload><BTDownload><BTEnable>0</BTEnable><BTItemCount>9</BTItemCount>" + BtItem(2, "b") +
             BtItem(1, "late") + "</BTDownload></Quarrow>",
         kReplySuccess,
         {"a", "b"}},
        {"names that only look like numbers are no items",
         Document("<BTItemCount>2</BTItemCount><!-- c -->x" + BtItem(1, "a") +
                      "<BTItem02><BTName>z</BTName></BTItem02><x:BTItem2 xmlns:x=\"u\"/><BTItem2x/>",
                  web0),
         kReplyPageError,
         {"a"}},
        {"an item nested deeper does not count",
         Document("<BTItemCount>2</BTItemCount>" + BtItem(1, "a") + "<Box>" + BtItem(2, "b") + "</Box>", web0),
         kReplyPageError,
         {"a"}},
        {"a missing number ends the list",
         Document("<BTItemCount>3</BTItemCount>" + BtItem(1, "a") + BtItem(3, "c"), web0),
         kReplyPageError,
         {"a"}},
        {"huge count, few items",
         Document("<BTItemCount>2147483647</BTItemCount>" + BtItem(1, "a"), web0),
         kReplyPageError,
         {"a"}},
    };
    for (const Case& c : cases) {
        ServerStatus status;
        EXPECT_EQ(c.code, ParseStatusDocument(c.xml, status)) << c.what;
        std::vector<std::string> names;
        for (const BTItem& item : status.btItems) names.push_back(item.name);
        EXPECT_EQ(c.bt, names) << c.what;
    }
}

TEST(StatusParse, ManyJobs) {
    const int kJobs = 5000;
    std::string bt = "<BTItemCount>" + std::to_string(kJobs) + "</BTItemCount>";
    std::string web = "<WebFTPItemCount>" + std::to_string(kJobs) + "</WebFTPItemCount>";
    for (int n = kJobs; n >= 1; --n) {  // in reverse, as a server may well list them
        const std::string number = std::to_string(n);
        bt += BtItem(n, 'b' + number);
        web += WebItem(n, 'w' + number);
    }
    ServerStatus status;
    ASSERT_EQ(kReplySuccess, ParseStatusDocument(Document(bt, web), status));
    ASSERT_EQ(size_t{kJobs}, status.btItems.size());
    ASSERT_EQ(size_t{kJobs}, status.webFtpItems.size());
    for (int n = 1; n <= kJobs; ++n) {
        const std::string number = std::to_string(n);
        ASSERT_EQ('b' + number, status.btItems[n - 1].name);
        ASSERT_EQ("id" + number, status.btItems[n - 1].itemId);
        ASSERT_EQ('w' + number, status.webFtpItems[n - 1].fileName);
    }
}

namespace {

const CLSID kDomDocument = {0x2933BF90, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

void SetProhibitDtd(IXMLDOMDocument2* document, VARIANT_BOOL value) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = value;
    document->setProperty(win::Bstr(L"ProhibitDTD").Get(), v);
}

// Reads the settings back; ProhibitDTD only where the parser reports it.
void ExpectSafe(IXMLDOMDocument2* document, const char* what) {
    VARIANT_BOOL resolve = VARIANT_TRUE, validate = VARIANT_TRUE;
    ASSERT_EQ(S_OK, document->get_resolveExternals(&resolve)) << what;
    ASSERT_EQ(S_OK, document->get_validateOnParse(&validate)) << what;
    EXPECT_EQ(VARIANT_FALSE, resolve) << what;
    EXPECT_EQ(VARIANT_FALSE, validate) << what;
    VARIANT prohibit;
    ::VariantInit(&prohibit);
    if (SUCCEEDED(document->getProperty(win::Bstr(L"ProhibitDTD").Get(), &prohibit))) {
        EXPECT_EQ(VT_BOOL, prohibit.vt) << what;
        EXPECT_EQ(VARIANT_TRUE, prohibit.boolVal) << what;
    }
    ::VariantClear(&prohibit);
}

}  // namespace

TEST(ServerXml, ExternalsDtdAndValidationAreOffBeforeLoading) {
    win::ComScope com;
    ASSERT_TRUE(com.Succeeded());
    win::ComPtr<IXMLDOMDocument2> fresh = NewServerXmlDocument();
    ASSERT_TRUE(fresh);
    ExpectSafe(fresh.Get(), "new document");

    // What the platform's parser does by default, switched on by hand.
    win::ComPtr<IXMLDOMDocument2> risky;
    ASSERT_EQ(S_OK, ::CoCreateInstance(kDomDocument, nullptr, CLSCTX_INPROC_SERVER, kDomDocument2,
                                       reinterpret_cast<void**>(risky.Receive())));
    risky->put_resolveExternals(VARIANT_TRUE);
    risky->put_validateOnParse(VARIANT_TRUE);
    SetProhibitDtd(risky.Get(), VARIANT_FALSE);
    ASSERT_TRUE(ApplyServerXmlSettings(risky.Get()));
    ExpectSafe(risky.Get(), "settings applied");
}

// A reply that declares an entity naming a local file: the file's text must
// never come back as the default path (which would then be sent to the server
// as a save path) nor into the job list.
TEST(ServerXml, HostileEntitiesAreRefused) {
    char dir[MAX_PATH] = {}, secret[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, dir);
    ::GetTempFileNameA(dir, "xe", 0, secret);
    win::FileHandle file(::CreateFileA(secret, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    ::WriteFile(file.Get(), "SECRET", 6, &written, nullptr);
    file.Close();
    std::string url = std::string("file:///") + secret;
    for (char& c : url)
        if (c == '\\') c = '/';
    const std::string dtds[] = {
        "<!DOCTYPE DefaultPath [<!ENTITY e SYSTEM \"" + url + "\">]>",
        "<!DOCTYPE DefaultPath [<!ENTITY e SYSTEM \"" + std::string(secret) + "\">]>",
        "<!DOCTYPE DefaultPath [<!ENTITY e \"internal\">]>",
    };
    for (const std::string& dtd : dtds) {
        const std::string page =
            "<html>QuarrowReturnValue:Success\n<body>" + dtd + "<DefaultPath>[HDD1]&e;</DefaultPath></body></html>";
        std::string xml, path = "before";
        ASSERT_TRUE(CutBodyXml(page, xml));
        EXPECT_FALSE(ParseDefaultPathDocument(xml, path)) << dtd;
        EXPECT_EQ("before", path) << dtd;

        ServerStatus status;
        std::string doc =
            Document("<BTItemCount>1</BTItemCount>" + BtItem(1, "&e;"), "<WebFTPItemCount>0</WebFTPItemCount>");
        EXPECT_EQ(kReplyPageError, ParseStatusDocument(dtd + doc, status)) << dtd;
        EXPECT_TRUE(status.btItems.empty()) << dtd;
    }
    ::DeleteFileA(secret);
}
