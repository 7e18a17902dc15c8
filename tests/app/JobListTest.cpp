// Rules of the job lists that need no window: row colours and paused flag from
// a job's status, what a cell and its tip show, where a scroll request goes,
// which job each of the ten rows shows and what its row holds.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/JobPanel.h"
#include "app/ListCtrl.h"
#include "app/ScrollBar.h"
#include "client/WebFtpKey.h"

using app::RowStyle;

namespace {

constexpr COLORREF kGrey = 0xC0C0C0, kBlue = 0xC00000, kRed = 0x0000C0, kGreen = 0x00C000, kWhite = 0xFFFFFF;

TEST(JobList, RowStylesFollowTheExactStatusText) {
    struct Case {
        bool bt;
        const char* status;
        RowStyle style;
    } cases[] = {
        {true, "paused", {0, kGrey, 1}},          {true, "connect error", {0, kGrey, 0}},
        {true, "torrent error", {0, kGrey, 0}},   {true, "downloading", {kBlue, kWhite, 0}},
        {true, "trying", {kBlue, kWhite, 0}},     {true, "waiting", {kRed, kWhite, 0}},
        {true, "finished", {kGreen, kWhite, 0}},  {true, "unknown", {kGreen, kWhite, 0}},
        {true, "Paused", {kGreen, kWhite, 0}},    {true, "", {kGreen, kWhite, 0}},
        {false, "Paused", {0, kGrey, 1}},         {false, "Failed", {0, kGrey, 0}},
        {false, "Finished", {kGreen, kWhite, 0}}, {false, "Trying", {kBlue, kWhite, 0}},
        {false, "paused", {kBlue, kWhite, 0}},    {false, "Downloading", {kBlue, kWhite, 0}},
    };
    for (const Case& c : cases) {
        RowStyle got = c.bt ? app::BtRowStyle(c.status) : app::WebFtpRowStyle(c.status);
        EXPECT_EQ(got.text, c.style.text) << c.status;
        EXPECT_EQ(got.back, c.style.back) << c.status;
        EXPECT_EQ(got.paused, c.style.paused) << c.status;
    }
}

TEST(JobList, TakeOverKeepsOrderStylesEveryJobAndCopiesTheFlags) {
    client::ServerStatus status;
    status.btEnabled = 1;
    status.webFtpEnabled = 0;
    for (const char* s : {"paused", "downloading", "waiting"}) {
        client::BTItem item;
        item.name = item.status = s;
        status.btItems.push_back(item);
    }
    for (const char* s : {"Finished", "Paused"}) {
        client::WebFTPItem item;
        item.fileName = item.status = s;
        status.webFtpItems.push_back(item);
    }
    app::CurrentStatus current;
    current.btItems.resize(30);  // replaced as a whole
    app::TakeOverJobs(status, current);
    ASSERT_EQ(current.btItems.size(), 3u);
    EXPECT_EQ(current.btItems[1].name, "downloading");
    EXPECT_EQ(current.btItems[0].paused, 1);
    EXPECT_EQ(current.btItems[2].textColor, static_cast<int>(kRed));
    EXPECT_EQ(current.webFtpItems[1].backColor, static_cast<int>(kGrey));
    EXPECT_EQ(current.webFtpItems[1].paused, 1);
    EXPECT_EQ(current.btOn, 1);
    EXPECT_EQ(current.webFtpOn, 0);
}

TEST(JobList, CellShowsItsFirstLineAndTheTipTheWholeTextUpToTheLimit) {
    std::string limit(512, 'a'), longer(600, 'b');
    std::string longLines = std::string(300, 'c') + "\n" + std::string(300, 'd');
    struct Case {
        std::string text, shown, tip;
    } cases[] = {
        {"", "", ""},
        {"name.iso", "name.iso", "name.iso"},
        {"first\nsecond", "first", "first\nsecond"},  // short: the tip keeps its line feeds
        {limit, limit, limit},
        {longer, longer, std::string(512, 'b') + "..."},
        {longLines, std::string(300, 'c'), std::string(300, 'c') + "\r\n" + std::string(211, 'd') + "..."},
    };
    for (const Case& c : cases) {
        app::CellTexts texts = app::MakeCellTexts(c.text);
        EXPECT_EQ(texts.shown, c.shown) << c.text.size();
        EXPECT_EQ(texts.tip, c.tip) << c.text.size();
    }
}

TEST(JobList, ScrollRequests) {
    struct Case {
        int request, position, maximum, thumb, expected;
    } cases[] = {
        {SB_PAGEDOWN, 0, 15, 0, 10}, {SB_PAGEDOWN, 10, 15, 0, 15}, {SB_PAGEUP, 15, 15, 0, 5},
        {SB_PAGEUP, 3, 15, 0, 0},    {SB_LINEDOWN, 15, 15, 0, 15}, {SB_LINEDOWN, 4, 15, 0, 5},
        {SB_LINEUP, 0, 15, 0, 0},    {SB_THUMBTRACK, 0, 15, 7, 7}, {SB_THUMBPOSITION, 2, 15, 12, 12},
        {SB_PAGEDOWN, 0, 0, 0, 0},   {SB_ENDSCROLL, 4, 15, 0, -1}, {SB_TOP, 4, 15, 0, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::CMyScrollBar::NewPosition(c.request, c.position, 0, c.maximum, c.thumb), c.expected)
            << c.request << " from " << c.position;
}

TEST(JobList, RowsShowTheJobsFromTheScrollPosition) {
    struct Case {
        size_t jobs;
        int position, row;
        int index;  // -1: the row is empty
    } cases[] = {
        {0, 0, 0, -1},   {3, 0, 0, 0},    {3, 0, 2, 2},    {3, 0, 3, -1},   {25, 0, 9, 9},
        {25, 15, 0, 15}, {25, 15, 9, 24}, {25, 16, 9, -1}, {25, 5, 10, -1}, {25, 5, -1, -1},
    };
    for (const Case& c : cases) {
        std::vector<app::JobRow> jobs(c.jobs);
        for (size_t i = 0; i < jobs.size(); ++i) jobs[i].key = std::to_string(i);
        const app::JobRow* job = app::JobAtRow(jobs, c.position, c.row);
        EXPECT_EQ(job ? std::stoi(job->key) : -1, c.index)
            << c.jobs << " jobs, position " << c.position << " row " << c.row;
    }
}

TEST(JobList, ScrollRangeFollowsTheNumberOfJobs) {
    struct Case {
        size_t jobs;
        int position, maximum, clamped, shown;
    } cases[] = {
        {0, 0, 0, 0, 0},   {9, 0, 0, 0, 9},      {10, 0, 0, 0, 10},
        {11, 1, 1, 1, 10}, {25, 20, 15, 15, 10}, {25, 7, 15, 7, 10},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(app::ScrollMaximum(c.jobs), c.maximum) << c.jobs;
        EXPECT_EQ(app::ClampedPosition(c.position, c.jobs), c.clamped) << c.jobs;
        EXPECT_EQ(app::ShownRows(c.jobs), c.shown) << c.jobs;
    }
}

TEST(JobList, EachKindsRowsCarryCellsKeyAndState) {
    client::BTItem bt;
    bt.name = "n", bt.contents = "c", bt.remainingTime = "r", bt.totalSize = "t", bt.schedule = "s";
    bt.throughput = "p", bt.status = "paused", bt.itemId = "17", bt.priority = -1;
    client::WebFTPItem web;
    web.fileName = "a b.iso", web.size = "1", web.loadedSize = "2", web.status = "Failed";
    web.savePath = "[HDD1]down", web.url = "http://h/a b.iso";
    client::ServerStatus status;
    status.btItems = {bt};
    status.webFtpItems = {web};
    app::CurrentStatus current;
    app::TakeOverJobs(status, current);

    std::vector<app::JobRow> btRows = app::kBtJobs.rowsOf(current);
    ASSERT_EQ(btRows.size(), 1u);
    EXPECT_EQ(btRows[0].cells, (std::vector<std::string>{"n", "c", "r", "t", "s", "p", "paused"}));
    EXPECT_EQ(btRows[0].key, "17");
    EXPECT_TRUE(btRows[0].paused);
    EXPECT_EQ(btRows[0].back, kGrey);
    std::vector<app::JobRow> webRows = app::kWebFtpJobs.rowsOf(current);
    ASSERT_EQ(webRows.size(), 1u);
    EXPECT_EQ(webRows[0].cells,
              (std::vector<std::string>{"a b.iso", "1", "2", "Failed", "[HDD1]down", "http://h/a b.iso"}));
    EXPECT_EQ(webRows[0].key, client::BuildWebFtpKey(web));
    EXPECT_FALSE(webRows[0].paused);
    // The priority box lists High, Normal, Low.
    for (auto [priority, entry] : {std::pair{1, 0}, std::pair{0, 1}, std::pair{-1, 2}}) {
        EXPECT_EQ(app::PriorityEntry(priority), entry);
        EXPECT_EQ(app::PriorityOfEntry(entry), priority);
    }
}

}  // namespace
