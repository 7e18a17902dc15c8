// The hand-over payload as both sides see it, and the two arguments' decoding.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/HandOver.h"
#include "app/HandOverReceiver.h"

using namespace app;

namespace {
std::vector<char> Bytes(const char* text, size_t size) { return std::vector<char>(text, text + size); }
}  // namespace

TEST(HandOver, PayloadLayoutRoundTrips) {
    HandOver torrent{kHandOverTorrent, 0, "C:\\a b.torrent", "ignored"};
    std::vector<char> bytes = BuildHandOverMessage(torrent);
    ASSERT_EQ(torrent.first.size() + 9, bytes.size());
    EXPECT_EQ(0, std::memcmp(bytes.data(), "\x01\0\0\0\0\0\0\0C:\\a", 12));
    HandOver link{kHandOverLink, 936, "http://x/%B0%A1", "http://x/%E5%95%8A"};
    std::vector<char> linkBytes = BuildHandOverMessage(link);
    ASSERT_EQ(link.first.size() + link.second.size() + 10, linkBytes.size());
    EXPECT_EQ(0, std::memcmp(linkBytes.data(), "\x02\0\0\0\xA8\x03\0\0h", 9));

    HandOver read;
    ASSERT_TRUE(ReadHandOverMessage(bytes.data(), bytes.size(), read));
    EXPECT_EQ(kHandOverTorrent, read.kind);
    EXPECT_EQ(torrent.first, read.first);
    EXPECT_EQ("", read.second);
    ASSERT_TRUE(ReadHandOverMessage(linkBytes.data(), linkBytes.size(), read));
    EXPECT_EQ(link.first + "|" + link.second, read.first + "|" + read.second);
}

TEST(HandOver, ReceiverRefusesWhatDoesNotFit) {
    std::vector<char> link = BuildHandOverMessage({kHandOverLink, 0, "http://a", "http://b"});
    struct Case {
        const char* what;
        std::vector<char> payload;
        size_t size;  // the size the message claims
    } cases[] = {
        {"empty", {}, 0},
        {"header only", Bytes("\x01\0\0\0\0\0\0\0", 8), 8},
        {"short header", Bytes("\x01\0\0", 3), 3},
        {"unterminated path", Bytes("\x01\0\0\0\0\0\0\0abc", 11), 11},
        {"link without second text", Bytes("\x02\0\0\0\0\0\0\0a\0", 10), 10},
        {"second text unterminated", link, link.size() - 1},
        {"unknown kind", Bytes("\x03\0\0\0\0\0\0\0a\0", 10), 10},
        {"kind zero", Bytes("\0\0\0\0\0\0\0\0a\0", 10), 10},
        {"negative kind", Bytes("\xFF\xFF\xFF\xFF\0\0\0\0a\0", 10), 10},
        {"kind in high byte", Bytes("\x01\0\0\x01\0\0\0\0a\0", 10), 10},
    };
    for (Case& c : cases) {
        HandOver read{7, 7, "keep", "keep"};
        // Only the claimed size is ours: a copy of exactly that many bytes lets
        // a read past it show up under a memory checker.
        std::vector<char> exact(c.payload.begin(), c.payload.begin() + std::min(c.size, c.payload.size()));
        EXPECT_FALSE(ReadHandOverMessage(exact.empty() ? nullptr : exact.data(), exact.size(), read)) << c.what;
        EXPECT_EQ("keep", read.first) << c.what;
    }
    HandOver read;
    EXPECT_FALSE(ReadHandOverMessage(link.data(), kMaxHandOverSize + 1, read));  // a huge claim is refused unread
    // Bytes after the last text are ignored.
    std::vector<char> trailing = BuildHandOverMessage({kHandOverTorrent, 0, "p", ""});
    trailing.insert(trailing.end(), {'x', 'y'});
    ASSERT_TRUE(ReadHandOverMessage(trailing.data(), trailing.size(), read));
    EXPECT_EQ("p", read.first);
}

TEST(HandOver, ArgumentsDecodeWithinTheirText) {
    client::CCSConvertor charsets;
    charsets.LoadCharsetText("Chinese,gb2312,936\nUnicode,utf-8,65001\n");
    struct Case {
        int kind;
        const char* argument;
        bool handed;
        const char* first;
        const char* second;
        int codePage;
    } cases[] = {
        {kHandOverTorrent, "\"C:\\t.torrent\"", true, "C:\\t.torrent", "", 0},
        {kHandOverTorrent, "C:\\t.torrent", true, ":\\t.torren", "", 0},  // unquoted: loses both ends
        {kHandOverTorrent, "\"", false, "", "", 0},
        {kHandOverTorrent, "", false, "", "", 0},
        {kHandOverTorrent, "\"\"", false, "", "", 0},
        {kHandOverLink, "68007400 gb2312", true, "ht", "ht", 936},
        {kHandOverLink, "6800740 gb2312", true, "h", "h", 936},            // whole units only
        {kHandOverLink, "680074 x", true, "h", "h", 0},                    // unknown name: code page 0
        {kHandOverLink, "6800000074007400 utf-8", true, "h", "h", 65001},  // a zero unit ends the link
        {kHandOverLink, "6a00 utf-8", true, "`", "`", 65001},              // lower case counts as 0
        {kHandOverLink, "68007400", false, "", "", 0},
    };
    for (const Case& c : cases) {
        HandOver h;
        bool handed = c.kind == kHandOverTorrent ? PrepareTorrentHandOver(c.argument, h)
                                                 : PrepareLinkHandOver(c.argument, charsets, h);
        ASSERT_EQ(c.handed, handed) << c.argument;
        if (!handed) continue;
        EXPECT_EQ(c.kind, h.kind) << c.argument;
        EXPECT_EQ(c.codePage, h.codePage) << c.argument;
        EXPECT_EQ(c.first, h.first) << c.argument;
        EXPECT_EQ(c.second, h.second) << c.argument;
    }
    // "http://a/%25 \u00e9": "%25" doubles in both texts, each text in its own page.
    HandOver h;
    ASSERT_TRUE(PrepareLinkHandOver("68007400740070003A002F002F0061002F002500320035002000E900 gb2312", charsets, h));
    EXPECT_EQ("http://a/%2525 %A8%A6", h.first);
    EXPECT_EQ("http://a/%2525 %C3%A9", h.second);
}

TEST(HandOver, WaitingQueueIsBoundedAndEndsWithoutAServer) {
    HandOverQueue queue;
    auto link = [](int n) { return HandOver{kHandOverLink, 0, "http://h/" + std::to_string(n), "u"}; };
    EXPECT_TRUE(queue.Push(link(0)));
    // The same hand-over again is dropped; another kind with the same text is not the same.
    EXPECT_FALSE(queue.Push(link(0)));
    EXPECT_TRUE(queue.Push({kHandOverTorrent, 0, "http://h/0", ""}));
    for (int n = 1; n < 40; ++n) queue.Push(link(n));
    EXPECT_EQ(HandOverQueue::kLimit, queue.Size());

    // In order while the window is ready; stops when it is busy again.
    std::vector<std::string> added;
    auto add = [&](const HandOver& h) {
        added.push_back(h.first);
        return true;
    };
    queue.Drain([&] { return added.size() < 2; }, add);
    EXPECT_EQ((std::vector<std::string>{"http://h/0", "http://h/0"}), added);
    EXPECT_EQ(HandOverQueue::kLimit - 2, queue.Size());

    // Once no server could be had (the selection was given up), the rest is
    // dropped instead of asking for a server once per hand-over.
    int asked = 0;
    queue.Drain([] { return true; }, [&](const HandOver&) { return ++asked > 1; });
    EXPECT_EQ(1, asked);
    EXPECT_TRUE(queue.Empty());
}
