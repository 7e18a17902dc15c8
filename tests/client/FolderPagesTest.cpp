#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client/FolderRequests.h"

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
         "<input type=\"hidden\" value=\"[HDD1]\"><input type=\"hidden\" name=\"x\"><p>", {"[HDD1]"}},
        {"value without its closing quote ends the scan", "<input type=\"hidden\" value=\"[HDD1]", {}},
        {"value found beyond its tag", "<input type=\"hidden\" name=\"x\"><p value=\"[RAID]\">", {"[RAID]"}},
        // The next search starts at the value marker, so a value shared by two
        // inputs is taken once.
        {"two inputs, one value", "<input type=\"hidden\"><input type=\"hidden\" value=\"[HDD1]\">", {"[HDD1]"}},
        // ... and an input marker inside the previous value is still found.
        {"marker inside a value", "<input type=\"hidden\" value=\"<input type=\"hidden\" value=\"B\">",
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
