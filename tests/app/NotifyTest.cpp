// Notifications of finished and failed jobs: which jobs are news, the bounded
// list per server and its registry form, the balloons, the fixed text fields.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <set>

#include "app/Notify.h"

using app::EndedJob;
using app::JobEnd;
using app::SeenJob;
using Entries = std::vector<std::string>;

namespace {

constexpr JobEnd kNone = JobEnd::None, kDone = JobEnd::Finished, kFail = JobEnd::Failed;

TEST(Notify, JobEndsFollowTheListsStatusTexts) {
    struct Case {
        bool bt;
        const char* status;
        JobEnd end;
    } cases[] = {
        {true, "finished", kDone},  {true, "connect error", kFail}, {true, "torrent error", kFail},
        {true, "Finished", kNone},  {true, "downloading", kNone},   {true, "paused", kNone},
        {true, "unknown", kNone},   {false, "Finished", kDone},     {false, "Failed", kFail},
        {false, "finished", kNone}, {false, "Paused", kNone},       {false, "", kNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.end, c.bt ? app::BtJobEnd(c.status) : app::WebFtpJobEnd(c.status)) << c.status;

    client::BTItem bt;
    bt.name = "Sintel";
    bt.itemId = "1003";
    bt.status = "finished";
    client::WebFTPItem web;
    web.fileName = "a b.iso";
    web.savePath = "[HDD1]download\\";
    web.status = "Failed";
    std::vector<SeenJob> jobs = app::SeenJobs({bt}, {web});
    ASSERT_EQ(2u, jobs.size());
    EXPECT_EQ("finished bt 1003", app::EntryOf(jobs[0]));
    EXPECT_EQ("failed web [USB5]download/a%2520b.iso", app::EntryOf(jobs[1]));
    EXPECT_EQ("a b.iso", jobs[1].name);
}

TEST(Notify, DecidesWhatIsNewsAndWhatIsRemembered) {
    struct Case {
        const char* what;
        Entries remembered;
        bool established;
        std::vector<SeenJob> jobs;
        size_t limit;
        std::vector<std::string> fresh;  // names
        Entries kept;
    } cases[] = {
        {"first list of a server: silent",
         {},
         false,
         {{"bt 1", "A", kDone}, {"bt 2", "B", kNone}, {"web w", "W", kFail}},
         200,
         {},
         {"finished bt 1", "failed web w"}},
        {"one finished and one failed since the last list",
         {"finished bt 1"},
         true,
         {{"bt 1", "A", kDone}, {"bt 2", "B", kDone}, {"web w", "W", kFail}},
         200,
         {"B", "W"},
         {"finished bt 1", "finished bt 2", "failed web w"}},
        {"nothing new; a removed job stays remembered",
         {"finished bt 9", "finished bt 1"},
         true,
         {{"bt 1", "A", kDone}, {"bt 2", "B", kNone}},
         200,
         {},
         {"finished bt 9", "finished bt 1"}},
        {"a failed job runs again: forgotten, and its next end is news",
         {"failed bt 1", "finished bt 2"},
         true,
         {{"bt 1", "A", kNone}, {"bt 2", "B", kDone}},
         200,
         {},
         {"finished bt 2"}},
        {"failed, then finished", {"failed bt 1"}, true, {{"bt 1", "A", kDone}}, 200, {"A"}, {"finished bt 1"}},
        {"two jobs with one key are told once",
         {},
         true,
         {{"web w", "W", kDone}, {"web w", "W", kDone}},
         200,
         {"W"},
         {"finished web w"}},
        {"bounded: the oldest go first, a job still listed as ended never",
         {"finished bt 1", "finished bt 8", "finished bt 9"},
         true,
         {{"bt 1", "A", kDone}, {"bt 2", "B", kDone}, {"bt 3", "C", kDone}},
         3,
         {"B", "C"},
         {"finished bt 1", "finished bt 2", "finished bt 3"}},
        {"more ended jobs than the bound: all kept, or they would be news again",
         {"finished bt 1"},
         true,
         {{"bt 1", "A", kDone}, {"bt 2", "B", kFail}},
         1,
         {"B"},
         {"finished bt 1", "failed bt 2"}},
    };
    for (const Case& c : cases) {
        app::NoticeDecision d = app::DecideNotices(c.remembered, c.established, c.jobs, c.limit);
        std::vector<std::string> names;
        for (const EndedJob& job : d.fresh) names.push_back(job.name);
        EXPECT_EQ(c.fresh, names) << c.what;
        EXPECT_EQ(c.kept, d.remembered) << c.what;
    }
    // The end travels with the news.
    app::NoticeDecision d = app::DecideNotices({}, true, {{"bt 1", "A", kFail}});
    ASSERT_EQ(1u, d.fresh.size());
    EXPECT_EQ(kFail, d.fresh[0].end);
}

TEST(Notify, ListReadsBackFromWhateverTheValueHolds) {
    using namespace std::string_literals;
    EXPECT_EQ("a\0bc\0\0"s, app::JoinEntries({"a", "", "b\0x"s, "bc"}));
    EXPECT_EQ("\0"s, app::JoinEntries({}));
    struct Case {
        std::string bytes;
        size_t limit;
        Entries entries;
    } cases[] = {
        {"a\0bc\0\0"s, 200, {"a", "bc"}},
        {"a\0bc"s, 200, {"a", "bc"}},             // no final zero
        {"\0\0a\0\0\0b\0"s, 200, {"a", "b"}},     // empty entries
        {"a\0b\0a\0c\0"s, 200, {"b", "a", "c"}},  // repeated: the last one counts
        {"a\0b\0c\0d\0"s, 2, {"c", "d"}},         // too long: the newest
        {""s, 200, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(c.entries, app::SplitEntries(c.bytes, c.limit)) << c.bytes.size();
}

TEST(Notify, WhatIsWrittenStaysBoundedWhateverTheServerLists) {
    using namespace std::string_literals;
    // Keys as long or odd as a server may make them: each entry fits, is
    // text the registry keeps as it is, is the same at every list, and two
    // keys stay two entries.
    const std::string longId(5000, '7');
    const std::string keys[] = {
        "bt 1003",
        "bt " + longId,
        "bt " + longId + "8",
        "bt 8" + longId,
        "bt \xe4\xb8\xad" + longId,
        "web [USB5]" + std::string(100000, 'x'),
        "bt a\0b"s,
    };
    std::set<std::string> entries;
    for (const std::string& key : keys) {
        const std::string bounded = app::BoundedKey(key);
        EXPECT_EQ(bounded, app::BoundedKey(key));
        const std::string entry = app::EntryOf({bounded, "N", kDone});
        EXPECT_LE(entry.size(), app::kMaxEntryBytes) << key.size();
        EXPECT_TRUE(std::all_of(entry.begin(), entry.end(), [](char c) { return c > 0; })) << key.substr(0, 8);
        entries.insert(entry);
    }
    EXPECT_EQ(std::size(keys), entries.size());
    EXPECT_EQ("bt 1003", app::BoundedKey("bt 1003"));  // everyday keys stay readable
    client::BTItem bt;
    bt.itemId = longId;
    bt.status = "connect error";
    EXPECT_LE(app::EntryOf(app::SeenJobs({bt}, {})[0]).size(), app::kMaxEntryBytes);

    auto many = [](size_t count, size_t length) {
        Entries list;
        for (size_t i = 0; i < count; ++i) {
            std::string entry = "failed bt ";
            entry += std::to_string(i);
            if (length > entry.size()) entry.append(length - entry.size(), 'x');
            list.push_back(std::move(entry));
        }
        return list;
    };
    const Entries short250 = many(250, 0), long10 = many(10, 100);
    struct Case {
        const char* what;
        Entries entries;
        size_t limit, maxBytes;
        Entries written;
    } cases[] = {
        {"more than the bound: the newest", short250, 200, 1 << 20, Entries(short250.begin() + 50, short250.end())},
        {"an entry too long is left out",
         {"finished bt 1", std::string(app::kMaxEntryBytes + 1, 'x'), "finished bt 2"},
         200,
         1 << 20,
         {"finished bt 1", "finished bt 2"}},
        {"the longest entry is kept",
         {std::string(app::kMaxEntryBytes, 'x')},
         200,
         1 << 20,
         {std::string(app::kMaxEntryBytes, 'x')}},
        {"out of room: the newest that fit", long10, 200, 350, Entries(long10.begin() + 7, long10.end())},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.written, app::SplitEntries(app::JoinEntries(c.entries, c.limit, c.maxBytes), c.entries.size()))
            << c.what;

    // Tens of thousands of failed jobs with long keys: a few kilobytes, the newest last.
    const Entries flood = many(30000, app::kMaxEntryBytes);
    const std::string bytes = app::JoinEntries(flood);
    EXPECT_LE(bytes.size(), app::kMaxStoredBytes);
    const Entries written = app::SplitEntries(bytes, flood.size());
    EXPECT_LE(written.size(), app::kRememberedLimit);
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(flood.back(), written.back());
}

TEST(Notify, ThreeJobsGetABalloonEachMoreOneSummary) {
    const app::BalloonTexts texts = {
        "Download finished",     "Download failed",     "Quarrow",
        "%d downloads finished", "%d downloads failed", "%d downloads finished, %d failed"};
    struct Case {
        std::deque<EndedJob> pending;
        const char* title;
        const char* text;
        bool failed;
        size_t left;
    } cases[] = {
        {{{"A", kDone}}, "Download finished", "A", false, 0},
        {{{"B", kFail}, {"C", kDone}}, "Download failed", "B", true, 1},
        {{{"%d", kDone}, {"B", kDone}, {"C", kDone}}, "Download finished", "%d", false, 2},
        {{{"A", kDone}, {"B", kDone}, {"C", kDone}, {"D", kDone}}, "Quarrow", "4 downloads finished", false, 0},
        {{{"A", kFail}, {"B", kFail}, {"C", kFail}, {"D", kFail}, {"E", kFail}},
         "Quarrow",
         "5 downloads failed",
         true,
         0},
        {{{"A", kDone}, {"B", kFail}, {"C", kDone}, {"D", kDone}},
         "Quarrow",
         "3 downloads finished, 1 failed",
         true,
         0},
    };
    for (Case& c : cases) {
        app::Balloon balloon = app::NextBalloon(c.pending, texts);
        EXPECT_EQ(c.title, balloon.title) << c.text;
        EXPECT_EQ(c.text, balloon.text);
        EXPECT_EQ(c.failed, balloon.failed) << c.text;
        EXPECT_EQ(c.left, c.pending.size()) << c.text;
    }
}

TEST(Notify, TextsFitTheirFieldsWhole) {
    const std::wstring pair = L"\xD83D\xDE00";  // one character, two halves
    struct Case {
        std::wstring text;
        size_t capacity;
        std::wstring fitted;
    } cases[] = {
        {L"short", 64, L"short"},
        {L"abcdefg", 8, L"abcdefg"},
        {L"abcdefgh", 8, L"abcd..."},
        {L"abc" + pair + L"xyz", 8, L"abc..."},
        {L"ab" + pair + L"wxyz", 8, L"ab" + pair + L"..."},
        {L"abcdef", 3, L""},
    };
    for (const Case& c : cases) {
        std::wstring got = app::FitField(c.text, c.capacity);
        EXPECT_EQ(c.fitted, got);
        EXPECT_LT(got.size(), c.capacity);
    }
}

TEST(Notify, SettingsKeepTheSwitchAndEachServersList) {
    const std::string key = "SOFTWARE\\QuarrowTests\\Notify";
    ::RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    app::NotifySettings settings(key);
    Entries entries = {"stale"};
    // Without the program's key nothing is written.
    settings.Save("10.0.0.1", {"finished bt 1"});
    EXPECT_FALSE(settings.Load("10.0.0.1", entries));
    EXPECT_TRUE(entries.empty());

    HKEY created = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                               &created, nullptr));
    EXPECT_TRUE(settings.Enabled());
    settings.SetEnabled(false);
    EXPECT_FALSE(settings.Enabled());

    settings.Save("10.0.0.1", {"finished bt 1", "failed web [USB5]a"});
    settings.Save("10.0.0.2", {});
    settings.Save("a\\b", {"finished bt 1"});  // names no subkey of its own
    EXPECT_TRUE(settings.Load("10.0.0.1", entries));
    EXPECT_EQ((Entries{"finished bt 1", "failed web [USB5]a"}), entries);
    EXPECT_TRUE(settings.Load("10.0.0.2", entries));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(settings.Load("a\\b", entries));
    EXPECT_FALSE(settings.Load("10.0.0.3", entries));
    // Written within the bound: the newest entries.
    Entries many;
    for (int i = 0; i < 250; ++i) many.push_back("finished bt " + std::to_string(i));
    settings.Save("10.0.0.4", many);
    EXPECT_TRUE(settings.Load("10.0.0.4", entries));
    EXPECT_EQ(Entries(many.end() - app::kRememberedLimit, many.end()), entries);
    // However many and however long: what reaches the registry stays small.
    Entries flood;
    for (int i = 0; i < 30000; ++i) flood.push_back("failed bt " + std::to_string(i) + std::string(400, 'x'));
    settings.Save("10.0.0.5", flood);
    HKEY flooded = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(created, "10.0.0.5", 0, KEY_QUERY_VALUE, &flooded));
    // Read for real: asked for its size alone, an ANSI query may answer with
    // the size of the stored UTF-16 text.
    DWORD type = 0, size = 0;
    ASSERT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(flooded, "NotifiedJobs", nullptr, &type, nullptr, &size));
    std::string stored(size, '\0');
    ASSERT_EQ(ERROR_SUCCESS, ::RegQueryValueExA(flooded, "NotifiedJobs", nullptr, &type,
                                                reinterpret_cast<BYTE*>(stored.data()), &size));
    EXPECT_LE(size, app::kMaxStoredBytes);
    ::RegCloseKey(flooded);
    EXPECT_TRUE(settings.Load("10.0.0.5", entries));
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(flood.back(), entries.back());
    // A value of another type is no list.
    HKEY sub = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(created, "10.0.0.2", 0, KEY_SET_VALUE, &sub));
    ::RegSetValueExA(sub, "NotifiedJobs", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    ::RegCloseKey(sub);
    EXPECT_FALSE(settings.Load("10.0.0.2", entries));
    ::RegCloseKey(created);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\QuarrowTests");
}

}  // namespace
