#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "client/HttpTransport.h"
#include "client/ReplyCode.h"

using namespace client;

TEST(ReplyCode, MarkerLineGivesCodeUpToLineFeed) {
    std::string code;
    ASSERT_TRUE(FindReplyCode("<html>QuarrowReturnValue:Success\n<body>", code));
    EXPECT_EQ("Success", code);
    EXPECT_EQ(0, MapReplyCode(code));

    ASSERT_TRUE(FindReplyCode("QuarrowReturnValue:Success\r\n", code));
    EXPECT_EQ("Success\r", code);  // not trimmed
    EXPECT_EQ(5504, MapReplyCode(code));

    // First occurrence counts.
    ASSERT_TRUE(FindReplyCode("QuarrowReturnValue:ERR_NULL_ITEM\nQuarrowReturnValue:Success\n", code));
    EXPECT_EQ("ERR_NULL_ITEM", code);
}

TEST(ReplyCode, IncompleteMarkerLines) {
    std::string code = "unchanged";
    EXPECT_FALSE(FindReplyCode("no marker here\n", code));
    EXPECT_FALSE(FindReplyCode("QuarrowReturnValue:", code));           // nothing after it
    EXPECT_FALSE(FindReplyCode("QuarrowReturnValue:Success", code));    // no line feed yet
    EXPECT_FALSE(FindReplyCode("quarrowreturnvalue:Success\n", code));  // case-sensitive
    EXPECT_EQ("unchanged", code);
    EXPECT_EQ(kReplyPageError, ReplyCodeOfPage("<html>QuarrowReturnValue:Success"));
}

TEST(ReplyCode, TableOrderSpellingAndLocalCodes) {
    EXPECT_EQ(5001, MapReplyCode("ERR_NO_VALID_DIEVICE"));
    EXPECT_EQ(5504, MapReplyCode("ERR_NO_VALID_DEVICE"));  // the server's spelling only
    EXPECT_EQ(5014, MapReplyCode("ERR_MAX_BT_DOWNLOAD"));
    EXPECT_EQ(5028, MapReplyCode("ERR_ALL_RO_PARTITION"));
    EXPECT_EQ(5031, MapReplyCode("ERR_NO_FILE_USB1"));
    EXPECT_EQ(5032, MapReplyCode("ERR_NO_FILE_USB2"));
    EXPECT_EQ(5036, MapReplyCode("ERR_INVALID_URL"));
    EXPECT_EQ(5502, MapReplyCode("OTHERERR_EXCEPTION"));
    EXPECT_EQ(5503, MapReplyCode("OTHERERR_PAGEERROR"));
    EXPECT_EQ(5504, MapReplyCode("success"));
    EXPECT_EQ(5504, MapReplyCode(""));
}

// Feeds a body to the chunked reader in the pieces a connection would deliver.
struct FakeBody {
    std::string data;
    size_t pos = 0;
    size_t calls = 0;
    long operator()(char* buffer, unsigned long size) {
        ++calls;
        size_t n = std::min<size_t>(size, data.size() - pos);
        std::copy(data.begin() + pos, data.begin() + pos + n, buffer);
        pos += n;
        return static_cast<long>(n);
    }
};

TEST(ReplyReading, MarkerSplitAcrossChunksIsFound) {
    FakeBody body;
    body.data = std::string(990, 'x') + "QuarrowReturnValue:ERR_PAUSED_BEFORE\n" + std::string(3000, 'y');
    std::string text, code;
    ASSERT_TRUE(AccumulateReply(std::ref(body), ReadMode::UntilMarker, text, code));
    EXPECT_EQ("ERR_PAUSED_BEFORE", code);
    EXPECT_EQ(2u, body.calls);  // stopped as soon as the line was complete
    EXPECT_EQ(2000u, body.pos);
}

TEST(ReplyReading, WholeModeReadsToTheEndAndBoundsThePage) {
    FakeBody body;
    body.data = "QuarrowReturnValue:Success\n" + std::string(2500, 'z');
    std::string text, code;
    ASSERT_TRUE(AccumulateReply(std::ref(body), ReadMode::Whole, text, code));
    EXPECT_EQ("Success", code);
    EXPECT_EQ(body.data, text);

    FakeBody huge;
    huge.data = "QuarrowReturnValue:Success\n" + std::string(kMaxPageBytes + 5000, 'z');
    text.clear();
    ASSERT_TRUE(AccumulateReply(std::ref(huge), ReadMode::Whole, text, code));
    EXPECT_EQ(kReplyPageError, code);
    EXPECT_LT(huge.pos, huge.data.size());
}

TEST(ReplyReading, ZeroByteEndsAChunksContribution) {
    FakeBody body;
    body.data = std::string("QuarrowReturn\0junk", 18) + std::string(982, 'a') + "Value:Success\n";
    std::string text, code;
    ASSERT_TRUE(AccumulateReply(std::ref(body), ReadMode::UntilMarker, text, code));
    // The rest of the first chunk after its zero byte is dropped, so the two
    // halves of the marker meet.
    EXPECT_EQ("Success", code);
    EXPECT_EQ(std::string("QuarrowReturnValue:Success\n"), text);
}

TEST(ReplyReading, ReadFailureIsReported) {
    std::string text, code;
    EXPECT_FALSE(AccumulateReply([](char*, unsigned long) -> long { return -1; }, ReadMode::Whole, text, code));
}

// A body delivered in chunks of random sizes.
struct RandomChunks {
    std::string data;
    std::mt19937& random;
    size_t pos = 0, last = 0;
    long operator()(char* buffer, unsigned long size) {
        last = std::min<size_t>(std::uniform_int_distribution<size_t>(1, size)(random), data.size() - pos);
        std::copy(data.begin() + pos, data.begin() + pos + last, buffer);
        pos += last;
        return static_cast<long>(last);
    }
};

// Searching only the new text finds what searching the whole text would,
// and stops at the first chunk that completes the marker line.
TEST(ReplyReading, MarkerSearchOverNewTextAgreesWithWholeText) {
    const std::string pieces[] = {"Quarrow", "ReturnValue:",       "QuarrowReturnValue:", "\n", "ERR_NULL_ITEM", "x",
                                  "Q",       std::string(700, 'y')};
    std::mt19937 random(5);
    int found = 0;
    for (int run = 0; run < 3000; ++run) {
        RandomChunks body{"", random};
        for (int n = std::uniform_int_distribution<int>(0, 12)(random); n > 0; --n)
            body.data += pieces[std::uniform_int_distribution<size_t>(0, std::size(pieces) - 1)(random)];
        std::string text, code, want;
        ASSERT_TRUE(AccumulateReply(std::ref(body), ReadMode::UntilMarker, text, code));
        ASSERT_EQ(body.data.substr(0, body.pos), text);
        if (FindReplyCode(text, want)) {
            ++found;
            ASSERT_EQ(want, code) << body.data;
            ASSERT_FALSE(FindReplyCode(text.substr(0, text.size() - body.last), want)) << body.data;
        } else {
            ASSERT_EQ(kReplyPageError, code) << body.data;
            ASSERT_EQ(body.data.size(), body.pos) << body.data;
        }
    }
    EXPECT_GT(found, 300);
}

// A reply without its marker line stops at the page bound. A text of marker
// beginnings ("Q") made the search over the whole text at every chunk take hours.
TEST(ReplyReading, ReplyUpToTheMarkerIsBoundedLikeAPage) {
    for (char fill : {'z', 'Q'}) {
        FakeBody body;
        body.data = std::string(kMaxPageBytes + 5000, fill);
        std::string text, code;
        ASSERT_TRUE(AccumulateReply(std::ref(body), ReadMode::UntilMarker, text, code));
        ASSERT_EQ(kReplyPageError, code) << fill;
        ASSERT_LT(body.pos, body.data.size()) << fill;
    }
}
