#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "client/FolderScan.h"
#include "client/HttpTransport.h"

using namespace client;
using Names = std::vector<std::string>;

TEST(RootPage, Scan) {
    struct Case {
        const char* what;
        std::string page;
        Names want;
    } cases[] = {
        {"three disks in page order",
         "<form><input type=\"hidden\" name=\"d\" value=\"[HDD2]\">\n<input type=\"hidden\" value=\"[HDD1]\">"
         "<input type=\"hidden\" value=\"[eSATA]\"></form>",
         {"[HDD2]", "[HDD1]", "[eSATA]"}},
        {"input marker without a later value marker ends the scan",
         "<input type=\"hidden\" value=\"[HDD1]\"><input type=\"hidden\" name=\"x\"><p>",
         {"[HDD1]"}},
        {"value without its closing quote ends the scan", "<input type=\"hidden\" value=\"[HDD1]", {}},
        {"value found beyond its tag", "<input type=\"hidden\" name=\"x\"><p value=\"[RAID]\">", {"[RAID]"}},
        // The next search starts at the value marker, so a value shared by two
        // inputs is taken once.
        {"two inputs, one value", "<input type=\"hidden\"><input type=\"hidden\" value=\"[HDD1]\">", {"[HDD1]"}},
        // ... and an input marker inside the previous value is still found.
        {"marker inside a value",
         "<input type=\"hidden\" value=\"<input type=\"hidden\" value=\"B\">",
         {"<input type=", "B"}},
        {"empty value", "<input type=\"hidden\" value=\"\">", {""}},
        {"other input types", "<input type=\"text\" value=\"[HDD1]\">", {}},
        {"no inputs", "QuarrowReturnValue:Success\n<body></body>", {}},
    };
    for (const Case& c : cases) {
        Names got;
        ScanRootPage(c.page, got);
        EXPECT_EQ(c.want, got) << c.what;
    }
}

TEST(FolderPage, Scan) {
    struct Case {
        const char* what;
        std::string page;
        Names want;
    } cases[] = {
        {"single entry", "<div> Movies <img src=\"f.gif\"></div>", {"Movies"}},
        {"inner spaces stay", "<div class=\"f\"> Shared Files <img></div><div>  two  <img>", {"Shared Files", " two "}},
        {"closing before opening: skipped", "<div a <b> Name <img><div> Next <img>", {"Next"}},
        {"no closing", "<div> Movies", {}},
        {"no div", "QuarrowReturnValue:Success\n<body><p> Movies <img></body>", {}},
        {"adjacent markers give an empty name", "<div> <img>", {""}},
        // Each "<div" is scanned on its own: a nested one finds the same name again.
        {"nested divs", "<div><div> A <img>", {"A", "A"}},
    };
    for (const Case& c : cases) {
        Names got;
        ScanFolderPage(c.page, got);
        EXPECT_EQ(c.want, got) << c.what;
    }
}

namespace {

// The first folder scan, kept as the reference: it searched on from every
// "<div" to the page's end, which is quadratic in the number of "<div"s.
Names ReferenceFolderScan(const std::string& page) {
    Names folders;
    size_t pos = 0;
    for (;;) {
        const size_t div = page.find("<div", pos);
        if (div == std::string::npos) return folders;
        const size_t open = page.find("> ", div + 1);
        const size_t close = page.find(" <", div + 1);
        if (open != std::string::npos && close != std::string::npos && open < close) {
            const size_t begin = open + 2;
            folders.push_back(begin < close ? page.substr(begin, close - begin) : std::string());
        }
        pos = div + 1;
    }
}

}  // namespace

TEST(FolderPage, AgreesWithTheReferenceOnRandomPages) {
    const char* const pieces[] = {"<div", "> ", " <", ">", "<", " ", "a", "b c", "<di", "v", "\n", "<div>"};
    std::mt19937 random(12);
    size_t names = 0;
    for (int run = 0; run < 3000; ++run) {
        std::string page;
        for (int n = std::uniform_int_distribution<int>(0, 40)(random); n > 0; --n)
            page += pieces[std::uniform_int_distribution<size_t>(0, std::size(pieces) - 1)(random)];
        Names got;
        ASSERT_TRUE(ScanFolderPage(page, got)) << page;
        ASSERT_EQ(ReferenceFolderScan(page), got) << page;
        names += got.size();
    }
    EXPECT_GT(names, 3000u);  // the pages do hold names
}

// Several MiB of "<div>": one pass, where the reference takes hours.
TEST(FolderPage, LongPagesAreScannedOnce) {
    std::string page;
    for (int i = 0; i < 1000000; ++i) page += "<div>";
    page += "<div> last <";
    Names got;
    ASSERT_TRUE(ScanFolderPage(page, got));
    ASSERT_EQ(1000001u, got.size());
    EXPECT_EQ(Names(2, "last"), Names(got.end() - 2, got.end()));

    // Nested "<div"s that would repeat one long name beyond a page's worth are refused.
    page = std::string(40000, '<') + "<div> " + std::string(kMaxPageBytes / 500, 'n') + " <";
    for (size_t i = 0; i < 40000; i += 4) page.replace(i, 4, "<div");
    got.clear();
    EXPECT_FALSE(ScanFolderPage(page, got));
    EXPECT_LE(got.size() * (kMaxPageBytes / 500), kMaxPageBytes);
}
