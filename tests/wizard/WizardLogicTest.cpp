#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <map>
#include <set>

#include "wizard/WizardLogic.h"

using namespace kestane;

namespace {

// A text source over a table; missing keys give the fallback. Escapes apply
// to both, as they do to ini values.
TextSource Table(std::map<std::string, std::string> values) {
    return [values](const char* key, const char* fallback) {
        auto it = values.find(key);
        return ApplyEscapes(it != values.end() ? it->second : fallback);
    };
}

std::string TempIni(const std::string& body) {
    char dir[MAX_PATH], path[MAX_PATH];
    ::GetTempPathA(MAX_PATH, dir);
    ::GetTempFileNameA(dir, "kst", 0, path);
    FILE* f = std::fopen(path, "wb");
    std::fwrite(body.data(), 1, body.size(), f);
    std::fclose(f);
    return path;
}

}  // namespace

TEST(IniText, EscapesBoundAndFallbacks) {
    const std::string file = TempIni(
        "[S]\r\nesc=A%0AB%2550\r\nblank=A%20B\r\npct=%250A\r\nlong=" + std::string(600, 'x') + "\r\nempty=\r\n");
    struct Case {
        const char* key;
        const char* fallback;
        std::string want;
    } cases[] = {
        {"esc", "", "A\r\nB%50"},
        {"blank", "", "A  B"},
        {"pct", "", "%0A"},  // "%25" goes last, so it never makes a new escape
        {"long", "", std::string(511, 'x')},
        {"empty", "fb", ""},
        {"missing", "Rescaning...", "Rescaning..."},
        {"missing", "a%0Ab", "a\r\nb"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, ReadIniText(file, "S", c.key, c.fallback)) << c.key;
    EXPECT_EQ("%&*", ReadIniText(file + ".none", "Control_String", "Window_Name", "%&*"));
    EXPECT_EQ("1\r\n2%", ApplyControlEscapes("1%0A2%25"));
    ::DeleteFileA(file.c_str());
}

TEST(IniText, FillFormatNeverReadsPastItsArguments) {
    struct Case {
        const char* format;
        std::vector<std::string> args;
        const char* want;
    } cases[] = {
        {"Failed in format %s", {"HDD2"}, "Failed in format HDD2"},
        {"%s/%d %s", {"a", "1"}, "a/1 "},
        {"100%% %n%x %", {}, "100% %n%x %"},
        {"no args", {"x"}, "no args"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, FillFormat(c.format, c.args)) << c.format;
}

TEST(Layout, RectanglesAndWindowSize) {
    struct Rect {
        const char* text;
        bool ok;
        ControlRect r;
    } rects[] = {
        {"(10,20),(80,25)", true, {10, 20, 80, 25}},
        {" ( 10 , 20 ) , ( 80 , 25 ) ", true, {10, 20, 80, 25}},
        {"(0,10),(80,20)", false, {}},
        {"(10,10),(80,0)", false, {}},
        {"(10,10),(-80,20)", false, {}},
        {"(10,10),(80)", false, {}},
        {"10,10,80,20", false, {}},
        {"(10,10),(80,20)x", false, {}},
        {"", false, {}},
    };
    for (const auto& c : rects) {
        const auto r = ParseControlRect(c.text);
        ASSERT_EQ(c.ok, r.has_value()) << c.text;
        if (r) {
            EXPECT_EQ((std::array{c.r.x, c.r.y, c.r.width, c.r.height}), (std::array{r->x, r->y, r->width, r->height}))
                << c.text;
        }
    }
    struct Size {
        const char* text;
        bool resize;
        int w, h;
    } sizes[] = {
        {"(0,0),(600,350)", true, 600, 350},
        {"(0,0),(640,480)", true, 640, 480},
        {"(1,1),(640,480)", false, 0, 0},
        {"(,5),(700,400)", true, 700, 400},
        // A resize to nothing would hide the window.
        {"(1,1),(0,0)", true, 600, 350},
        {"garbage", true, 600, 350},
    };
    for (const auto& c : sizes) {
        const auto s = WindowSizeFromText(c.text);
        ASSERT_EQ(c.resize, s.has_value()) << c.text;
        if (s) { EXPECT_EQ((std::pair{c.w, c.h}), (std::pair{s->width, s->height})) << c.text; }
    }
}

TEST(Language, CandidatesAndFallback) {
    EXPECT_EQ((std::vector<std::string>{"enu", "en", "Enu", "En"}), LanguageCandidates("ENU"));
    struct Case {
        const char* locale;
        std::set<std::string> folders;
        std::optional<std::string> want;
    } cases[] = {
        {"DEU", {"de", "en"}, "de"}, {"DEU", {"Deu", "de"}, "de"},  {"CHS", {"chs", "en"}, "chs"},
        {"JPN", {"En"}, "En"},       {"DEU", {"fr"}, std::nullopt}, {"", {"en"}, "en"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> asked;
        auto accept = [&](const std::string& f) {
            asked.push_back(f);
            return c.folders.count(f) > 0;
        };
        EXPECT_EQ(c.want, ChooseLanguageFolder(c.locale, accept)) << c.locale;
    }
    std::vector<std::string> asked;
    ChooseLanguageFolder("DEU", [&](const std::string& f) {
        asked.push_back(f);
        return false;
    });
    EXPECT_EQ((std::vector<std::string>{"deu", "de", "Deu", "De", "en", "En"}), asked);
}

TEST(Address, ValidationTableInOrder) {
    auto o = [](const char* t) { return OctetsFromText(t); };
    using B = AddressBox;
    struct Case {
        const char *ip, *mask, *gw, *dns, *key;
        B focus;
        size_t restored;
    } cases[] = {
        {"192.168.1.20", "255.255.255.0", "192.168.1.1", "192.168.1.1", nullptr, B::Ip, 0},
        {"192.168.1.20", "255.255.255.0", "0.0.0.0", "0.0.0.0", nullptr, B::Ip, 0},
        {"127.0.0.1", "255.0.0.0", "0.0.0.0", "0.0.0.0", "IP_127_Error", B::Ip, 1},
        {"10.0.0.5", "255.0.0.0", "127.0.0.1", "0.0.0.0", "Gateway_127_Error", B::Gateway, 1},
        {"10.0.0.5", "255.0.0.0", "0.0.0.0", "127.0.0.53", "DNS_127_Error", B::Dns, 1},
        {"0.1.2.3", "255.0.0.0", "0.0.0.0", "0.0.0.0", "IP_223_Error", B::Ip, 1},
        {"224.1.2.3", "255.0.0.0", "0.0.0.0", "0.0.0.0", "IP_223_Error", B::Ip, 1},
        {"10.0.0.5", "255.0.0.0", "0.0.0.1", "0.0.0.0", "Gateway_223_Error", B::Gateway, 1},
        {"10.0.0.5", "255.0.0.0", "0.0.0.0", "230.0.0.1", "DNS_223_Error", B::Dns, 1},
        {"10.0.0.5", "255.255.255.255", "0.0.0.0", "0.0.0.0", "Mask_Error", B::Mask, 1},
        {"10.0.0.5", "0.0.0.0", "0.0.0.0", "0.0.0.0", "Mask_Error", B::Mask, 1},
        {"10.0.0.5", "255.0.255.0", "0.0.0.0", "0.0.0.0", "Mask_Error", B::Mask, 1},
        // a 31-bit mask passes the mask rule; its two addresses then fail the host rules
        {"10.0.0.2", "255.255.255.254", "0.0.0.0", "0.0.0.0", "IP_0_Error", B::Ip, 1},
        {"10.0.0.3", "255.255.255.254", "0.0.0.0", "0.0.0.0", "IP_Brocast_Error", B::Ip, 1},
        {"10.0.0.5", "255.0.0.0", "11.0.0.1", "0.0.0.0", "Subnetwork_Error", B::Ip, 2},
        {"192.168.1.255", "255.255.255.0", "0.0.0.0", "0.0.0.0", "IP_Brocast_Error", B::Ip, 1},
        {"192.168.1.5", "255.255.255.0", "192.168.1.255", "0.0.0.0", "Gateway_Brocast_Error", B::Gateway, 1},
        {"192.168.1.0", "255.255.255.0", "0.0.0.0", "0.0.0.0", "IP_0_Error", B::Ip, 1},
        {"192.168.1.5", "255.255.255.0", "192.168.1.0", "0.0.0.0", "Gateway_0_Error", B::Gateway, 1},
    };
    for (const auto& c : cases) {
        const auto e = ValidateAddress(o(c.ip), o(c.mask), o(c.gw), o(c.dns));
        ASSERT_EQ(c.key != nullptr, e.has_value()) << c.ip << " " << c.mask << " " << c.gw;
        if (!e) continue;
        EXPECT_STREQ(c.key, e->key);
        EXPECT_EQ(c.focus, e->focus) << c.key;
        EXPECT_EQ(c.restored, e->restore.size()) << c.key;
    }
    EXPECT_EQ((Octets{10, 0, 0, 5}), OctetsFromText("010.0.0.5"));
    EXPECT_EQ("192.168.0.253", DottedText(FromHost(ToHost(o("192.168.0.253")))));
}

TEST(Input, NamesAndPasswords) {
    struct Name {
        const char* name;
        const char* key;
    } names[] = {
        {"ABC", "Len_Error_Name"},
        {"ABCDEFGHIJKLMNOP", "Len_Error_Name"},
        {"MY-NAS", "Alphanumeric_Error"},
        {"NAS_01_AB", nullptr},
        {"abcd", nullptr},
        {"ABCDEFGHIJKLMNO", nullptr},
        {"NAS \xC4\xE3", "Alphanumeric_Error"},
    };
    for (const auto& c : names) {
        const char* key = CheckServerName(c.name);
        EXPECT_EQ(std::string(c.key ? c.key : ""), std::string(key ? key : "")) << c.name;
    }
    struct Pwd {
        const char *a, *b;
        PasswordCheck want;
    } pwds[] = {
        {"abc123", "abc123", PasswordCheck::Ok}, {"abc", "abd", PasswordCheck::Mismatch},
        {"a b", "a b", PasswordCheck::Invalid},  {"", "", PasswordCheck::Empty},
        {"Abc", "abc", PasswordCheck::Mismatch}, {"x_y", "x_y", PasswordCheck::Invalid},
    };
    for (const auto& c : pwds) EXPECT_EQ(c.want, CheckNewPassword(c.a, c.b)) << c.a << "/" << c.b;
    EXPECT_STREQ("Clear_Pwd", PasswordMessageKey(PasswordCheck::Empty));
}

TEST(TimePage, ZonesAndDays) {
    struct Zone {
        long bias;
        int entry;
    } zones[] = {
        {-480, 48}, {-330, 42}, {0, 21},   {60, 20},   {-720, 63}, {720, 0},
        {300, 10},  {-60, 23},  {-59, 21}, {-780, 51}, {780, 51},  {210, 16},
    };
    for (const auto& c : zones) EXPECT_EQ(c.entry, TimeZoneEntryForBias(c.bias)) << c.bias;
    const int days[] = {28, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 28};
    for (int m = 0; m <= 13; ++m) EXPECT_EQ(days[m], DaysInMonthList(m)) << m;
}

TEST(Disks, DecisionAndFormatTexts) {
    struct Case {
        DiskState s;
        DiskDecision d;
        DisksToFormat f;
        const char* what;
    } cases[] = {
        {{0, 1, 1, 0, 0}, DiskDecision::Ready, DisksToFormat::None, "\r\n formatted\r\n"},
        {{0, 0, 0, 1, 1}, DiskDecision::Ready, DisksToFormat::None, "\r\n formatted\r\n"},
        {{0, 1, 1, 1, 1}, DiskDecision::Ready, DisksToFormat::None, "\r\n formatted\r\n"},
        {{0, 1, 0, 0, 0}, DiskDecision::Format, DisksToFormat::Disk1, "\r\nD1\r\n formatted\r\n"},
        {{1, 1, 0, 1, 0}, DiskDecision::Format, DisksToFormat::Both, "RAID!\r\n\r\nD12 formatted\r\n"},
        {{0, 1, 1, 1, 0}, DiskDecision::Format, DisksToFormat::Disk2, "\r\nD2 formatted\r\n"},
        {{0, 0, 0, 0, 0}, DiskDecision::NoDisk, DisksToFormat::None, "\r\n formatted\r\n"},
        {{0, 0, 1, 0, 1}, DiskDecision::NoDisk, DisksToFormat::None, "\r\n formatted\r\n"},
        {{0, 2, 1, 2, 1}, DiskDecision::Undecided, DisksToFormat::None, "\r\n formatted\r\n"},
    };
    const auto msg = Table(
        {{"Find_RAID", "RAID!%0A"}, {"HDD_1", "D1"}, {"HDD_2", "D2"}, {"HDD_12", "D12"}, {"Be_Format", " formatted"}});
    for (const auto& c : cases) {
        EXPECT_EQ(c.d, DecideDisks(c.s));
        EXPECT_EQ(c.f, FormattedDisks(c.s));
        EXPECT_EQ(c.what, BuildFormatTexts(c.s, msg).what);
    }
    const auto fb = BuildFormatTexts({1, 1, 0, 0, 0}, Table({}));
    EXPECT_EQ(
        "RAID is found on this storage server, it will be disabled.\r\n\r\n\r\nHDD1\r\n will be partitioned "
        "and formated.\r\n\r\n\r\n",
        fb.what);
    EXPECT_EQ("The data on the disk(s) WILL BE ERASED.\r\n\r\n", fb.erased);
    EXPECT_EQ(
        "If you want to continue, please click \"Next\".\r\n\r\n\r\nIf you click \"Exit\", the wizard will "
        "quit, and the data stored in your hard disks will not be modified.",
        fb.decision);
    EXPECT_TRUE(AnyDiskToErase({0, 0, 0, 1, 0}));
    EXPECT_FALSE(AnyDiskToErase({0, 1, 1, 0, 0}));
}

TEST(Failure, DetailTexts) {
    const auto fb = Table({});
    struct Case {
        int sub;
        const char* want;
    } cases[] = {
        {2, "Failed in Disabled RAID\r\nThe configuration of storage server is not complete."},
        {31, "Failed in format\r\nThe configuration of storage server is not complete."},
        {3, "\r\nThe configuration of storage server is not complete."},
    };
    for (const auto& c : cases) EXPECT_EQ(c.want, FailureText(c.sub, fb)) << c.sub;
    const auto msg = Table({{"Format_Fail", "Formatting %s failed."},
                            {"Folder_Fail", "Folders on %s"},
                            {"Share_Fail", "Shares on %s"},
                            {"Media_Fail", "Media on %s"},
                            {"HDD_2", "disk 2"},
                            {"Not_Complete", "Stopped."}});
    struct Detail {
        int sub;
        const char* want;
    } details[] = {
        {31, "Formatting disk 2 failed."},
        {30, "Formatting HDD1 failed."},
        {40, "Folders on HDD1"},
        {51, "Shares on disk 2"},
        {80, "Media on HDD1"},
        {81, "Media on disk 2"},
        {32, ""},
        {0, ""},
    };
    for (const auto& c : details) EXPECT_EQ(c.want, FailureDetail(c.sub, msg)) << c.sub;
    EXPECT_EQ("Formatting disk 2 failed.\r\nStopped.", FailureText(31, msg));
}

TEST(Confirmation, SummaryLines) {
    std::map<std::string, std::string> t;
    for (int i = 2; i <= 18; ++i) {
        char key[48], value[8];
        std::snprintf(key, sizeof key, "STATIC_ConfirmFunction_Position%d", i);
        std::snprintf(value, sizeof value, "P%d", i);
        t[key] = value;
    }
    t["STATIC_ConfirmFunction_Position5"] = "Password: %s";
    t["STATIC_ConfirmFunction_Position7"] = "IP %s%20mask %s gw %s dns %s";
    t["STATIC_ConfirmFunction_Position8"] = "Name: %s (100%25)";
    t["STATIC_ConfirmFunction_Position9"] = "BT %s";
    t["STATIC_ConfirmFunction_Position13"] = "Time%0D%0A";
    t["STATIC_ConfirmFunction_Position17"] = "Zone %s";
    t["STATIC_ConfirmFunction_Position18"] = "%s %d - %s %d";
    t["Str_On"] = "ON";
    Summary s;
    s.disks = {1, 1, 0, 1, 1};
    s.password = "abc12";
    s.ip = "10.0.0.5", s.mask = "255.0.0.0", s.gateway = "10.0.0.1", s.dns = "10.0.0.2";
    s.name = "NAS01";
    s.itunes = false;
    s.timeZone = "Beijing";
    s.daylight = true;
    s.startMonth = "March", s.startDay = 30, s.endMonth = "October", s.endDay = 26;
    EXPECT_EQ(
        "P15\r\nP2\r\nPassword: *****\r\nP6\r\nIP 10.0.0.5  mask 255.0.0.0 gw 10.0.0.1 dns 10.0.0.2\r\n"
        "Name: NAS01 (100%)\r\nBT ON\r\nP10\r\nP11\r\nTime\r\n\r\nZone Beijing\r\nP16\r\n"
        "March 30 - October 26\r\n",
        BuildSummary(s, Table(t)));
    s.disks = {0, 1, 0, 1, 0};
    s.autoAddress = true;
    s.timeSync = false;
    EXPECT_EQ("P4\r\nPassword: *****\r\nP6\r\nP14\r\nName: NAS01 (100%)\r\nBT ON\r\nP10\r\nP11\r\n",
              BuildSummary(s, Table(t)));
}

TEST(FreeAddress, SearchOrderAndEdges) {
    auto o = [](const char* t) { return OctetsFromText(t); };
    // `unpingable`: addresses that no echo can be sent to (no rights for it).
    struct Case {
        const char *ip, *mask;
        std::set<std::string> answering, unpingable;
        const char* want;
        bool none, unchecked;
        int asked;
    } cases[] = {
        {"192.168.0.10", "255.255.255.0", {}, {}, "192.168.0.253", false, false, 1},
        {"192.168.0.10", "255.255.255.0", {"192.168.0.253", "192.168.0.252"}, {}, "192.168.0.251", false, false, 3},
        {"10.0.0.1", "255.255.255.252", {}, {}, kNoAddress, true, false, 0},  // .3 broadcast, .1 only: no candidate
        {"10.0.0.1",
         "255.255.255.248",
         {"10.0.0.5", "10.0.0.4", "10.0.0.3", "10.0.0.2"},
         {},
         kNoAddress,
         true,
         false,
         4},
        {"10.0.0.1", "255.255.255.254", {}, {}, kNoAddress, true, false, 0},
        {"10.0.0.1", "255.255.255.255", {}, {}, kNoAddress, true, false, 0},
        {"0.0.0.0", "255.255.255.255", {}, {}, kNoAddress, true, false, 0},
        // Silence that was never listened for is not a free address.
        {"192.168.0.10", "255.255.255.0", {}, {"192.168.0.253"}, kNoAddress, false, true, 1},
        {"192.168.0.10", "255.255.255.0", {"192.168.0.253"}, {"192.168.0.252"}, kNoAddress, false, true, 2},
    };
    for (const auto& c : cases) {
        int asked = 0;
        const auto r = SearchFreeAddress(
            o(c.ip), o(c.mask), [] { return false; },
            [&](const std::string& a) {
                ++asked;
                return c.unpingable.count(a) ? Probe::Unknown : c.answering.count(a) ? Probe::Taken : Probe::Free;
            });
        EXPECT_EQ(c.want, r.proposal) << c.ip << "/" << c.mask;
        EXPECT_EQ(c.none, r.nothingFound) << c.ip;
        EXPECT_EQ(c.unchecked, r.unchecked) << c.ip;
        EXPECT_EQ(c.asked, asked) << c.ip;
    }
    // Timed out before it starts, and during a crowded search.
    int asked = 0;
    auto all = [&](const std::string&) {
        ++asked;
        return Probe::Taken;
    };
    EXPECT_EQ(kNoAddress, SearchFreeAddress(
                              o("10.0.0.1"), o("255.255.255.0"), [] { return true; }, all)
                              .proposal);
    EXPECT_EQ(0, asked);
    const auto r = SearchFreeAddress(
        o("10.0.0.1"), o("255.0.0.0"), [&] { return asked >= 5; }, all);
    EXPECT_EQ(kNoAddress, r.proposal);
    EXPECT_FALSE(r.nothingFound);
    EXPECT_EQ(5, asked);

    EXPECT_TRUE(KeepsServerAddress(o("192.168.0.77"), 0, o("192.168.0.10"), o("255.255.255.0")));
    EXPECT_FALSE(KeepsServerAddress(o("192.168.0.77"), 1, o("192.168.0.10"), o("255.255.255.0")));
    EXPECT_FALSE(KeepsServerAddress(o("192.168.1.77"), 0, o("192.168.0.10"), o("255.255.255.0")));
}
