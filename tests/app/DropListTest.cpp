// The files dropped onto the main window: reading the drop's block, and which
// of its files the window offers to add, in what order.
#include <gtest/gtest.h>

#include <cstring>

#include "app/DropList.h"

using namespace app;
using namespace std::string_literals;

namespace {
// A drop block: the 20-byte header (names at `offset`, wide or not), then `names`.
std::string Block(const std::string& names, bool wide = false, unsigned offset = 20) {
    std::string block(20, '\0');
    std::memcpy(&block[0], &offset, 4);
    block[16] = wide ? 1 : 0;
    return block + names;
}

std::string Wide(const std::u16string& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}
}  // namespace

TEST(DropList, ReadsNamesWithinTheBlockOnly) {
    using Names = std::vector<std::string>;
    const std::string two("C:\\a.torrent\0D:\\b c.txt\0\0", 25);
    struct Case {
        const char* what;
        std::string block;
        bool read;
        Names names;
    } cases[] = {
        {"ANSI names", Block(two), true, {"C:\\a.torrent", "D:\\b c.txt"}},
        {"wide names", Block(Wide(u"C:\\a.torrent\0D:\\b c.txt\0\0"s), true), true, {"C:\\a.torrent", "D:\\b c.txt"}},
        {"wide names at an odd offset",
         Block(std::string(1, 'x') + Wide(u"C:\\o.torrent\0\0"s), true, 21),
         true,
         {"C:\\o.torrent"}},
        {"names after a longer header",
         Block(std::string(8, 'x') + two, false, 28),
         true,
         {"C:\\a.torrent", "D:\\b c.txt"}},
        {"no names", Block(std::string(1, '\0')), true, {}},
        {"a long name whole", Block(std::string(600, 'n') + std::string(2, '\0')), true, {std::string(600, 'n')}},
        {"short header", std::string(19, '\0'), false, {}},
        {"names inside the header", Block(two, false, 8), false, {}},
        {"names beyond the block", Block(two, false, 200), false, {}},
        {"no closing empty name", Block("C:\\a.torrent\0"s), false, {}},
        {"unterminated name", Block("C:\\a.torrent"), false, {}},
        {"wide, half a unit at the end", Block(Wide(u"C:\\a\0"s) + "x", true), false, {}},
        {"nothing after the header", Block(""), false, {}},
    };
    for (const Case& c : cases) {
        Names names{"stale"};
        EXPECT_EQ(c.read, ReadDropFiles(c.block.data(), c.block.size(), names)) << c.what;
        EXPECT_EQ(c.names, names) << c.what;
    }
    Names names{"stale"};
    EXPECT_FALSE(ReadDropFiles(nullptr, 100, names));
    EXPECT_TRUE(names.empty());
}

TEST(DropList, KeepsTorrentFilesInDropOrderAndCountsTheRest) {
    const std::string longPath = "C:\\" + std::string(400, 'd') + ".torrent";
    struct Case {
        const char* what;
        std::vector<DroppedFile> files;
        std::vector<std::string> torrents;
        size_t ignored;
    } cases[] = {
        {"nothing", {}, {}, 0},
        {"drop order, any case, others counted",
         {{"C:\\b.torrent"}, {"C:\\a.txt"}, {"C:\\x.TORRENT"}, {"C:\\b.torrent.zip"}, {"C:\\my s.Torrent"}},
         {"C:\\b.torrent", "C:\\x.TORRENT", "C:\\my s.Torrent"},
         2},
        {"near misses",
         {{"C:\\a.torren"}, {"C:\\atorrent"}, {"C:\\a.torrent "}, {"C:\\a.torrent."}, {"torrent"}, {""}},
         {},
         6},
        {"a folder with a torrent's name",
         {{"C:\\x.torrent", true}, {"C:\\x.torrent\\y.torrent"}},
         {"C:\\x.torrent\\y.torrent"},
         1},
        {"the bare extension, a double-byte name (code page 936), a long path",
         {{".torrent"}, {"C:\\\xB0\xA1.torrent"}, {longPath}},
         {".torrent", "C:\\\xB0\xA1.torrent", longPath},
         0},
    };
    for (const Case& c : cases) {
        DropList list = SortDroppedFiles(c.files);
        EXPECT_EQ(c.torrents, list.torrents) << c.what;
        EXPECT_EQ(c.ignored, list.ignored) << c.what;
    }
}
