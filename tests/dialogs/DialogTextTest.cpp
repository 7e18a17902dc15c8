// The texts the dialogs build.
#include <gtest/gtest.h>

#include "dialogs/DialogText.h"

namespace {

TEST(DialogText, ServerEntriesAndTheSelectionRule) {
    const std::string full32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    struct Case {
        mgmt::stserver server;
        const char* entry;
    } cases[] = {
        {{"NAS", {10, 77, 0, 2}}, "NAS (10.77.0.2)"},
        {{"", {0, 0, 0, 0}}, " (0.0.0.0)"},
        {{"B\xFCro %s", {192, 168, 255, 254}}, "B\xFCro %s (192.168.255.254)"},
        {{full32, {1, 2, 3, 4}}, "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345 (1.2.3.4)"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.entry, dialogs::ServerEntryText(c.server));

    // (selection, count) -> select the first entry?
    EXPECT_TRUE(dialogs::SelectFirstAfterAppend(-1, 1));
    EXPECT_TRUE(dialogs::SelectFirstAfterAppend(0, 3));
    EXPECT_FALSE(dialogs::SelectFirstAfterAppend(2, 3));
    EXPECT_FALSE(dialogs::SelectFirstAfterAppend(-1, 0));

    std::vector<mgmt::stserver> servers = {{"A", {10, 0, 0, 1}}, {"A", {10, 0, 0, 2}}};
    EXPECT_EQ(1, dialogs::FindServer(servers, {10, 0, 0, 2}));
    EXPECT_EQ(-1, dialogs::FindServer(servers, {10, 0, 0, 3}));
}

TEST(DialogText, ServerPathsAndCaptions) {
    struct Case {
        std::vector<std::string> texts;
        const char* path;
    } cases[] = {
        {{}, ""},
        {{"HDD1"}, "[HDD1]"},
        {{"HDD1", "Movies"}, "[HDD1]Movies\\"},
        {{"[RAID]", "Movies"}, "[RAID]Movies\\"},
        {{"[x", "y]"}, "[[x]y]\\"},
        {{"HDD2", "Shared Files", "a", "b"}, "[HDD2]Shared Files\\a\\b\\"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.path, dialogs::ServerPath(c.texts));
    EXPECT_EQ("Log in NAS (10.77.0.2)", dialogs::FormatWithText("Log in %s", "NAS (10.77.0.2)"));
    EXPECT_EQ("Log in 100%d", dialogs::FormatWithText("Log in %s", "100%d"));  // the text is not a format
    EXPECT_EQ("%s - Quarrow", dialogs::FormatWithText("%s - Quarrow", "%s"));
}

}  // namespace
