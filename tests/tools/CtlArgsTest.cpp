#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tools/ctl_args.h"

using namespace ctl;

namespace {

// The fields a command sets, in a line that a table can hold.
std::string Describe(const Invocation& v) {
    static const char* const kNames[] = {
        "help",        "connect",         "status",  "bt",       "web",      "priority", "pause",   "resume",  "remove",
        "add-torrent", "add-torrent-url", "add-url", "get-path", "set-path", "disks",    "folders", "discover"};
    std::string s = kNames[static_cast<int>(v.command)];
    auto field = [&](bool show, const char* name, const std::string& value) {
        if (show) s += std::string(" ") + name + "=" + value;
    };
    field(v.address != "nas", "server", v.address);
    field(!v.user.empty(), "user", v.user);
    field(!v.password.empty(), "password", v.password);
    field(v.repeat != 0, "repeat", std::to_string(v.repeat));
    field(v.reportMemory, "memory", "1");
    field(v.json, "json", "1");
    field(v.command == Command::SetBt || v.command == Command::SetWeb, "on", std::to_string(v.on));
    field(!v.itemId.empty(), "item", v.itemId);
    field(!v.webKey.empty(), "key", v.webKey);
    field(v.priority != 0, "priority", std::to_string(v.priority));
    field(!v.file.empty(), "file", v.file);
    field(v.hasSavePath, "save", v.savePath);
    field(!v.urlEncoded.empty(), "url", v.urlEncoded + "|" + v.urlUtf8);
    field(!v.urlUser.empty(), "url-user", v.urlUser);
    field(!v.urlPassword.empty(), "url-password", v.urlPassword);
    field(!v.path.empty(), "path", v.path);
    field(v.waitMs != 2000, "wait", std::to_string(v.waitMs));
    return s;
}

std::string Parse(const std::vector<std::string>& args, const std::string& charsetFile,
                  const std::string& server = "nas") {
    try {
        return Describe(ParseCommandLine(args, Defaults{server, "", ""}, charsetFile));
    } catch (const UsageError& error) { return "error: " + error.message; }
}

}  // namespace

TEST(CtlArgs, EveryCommandAndUsageError) {
    if (::GetACP() != 1252) GTEST_SKIP() << "the table's non-ASCII texts are in code page 1252";
    char dir[MAX_PATH] = {}, charsets[MAX_PATH] = {}, cwd[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, dir);
    ::GetTempFileNameA(dir, "cs", 0, charsets);
    ::GetCurrentDirectoryA(MAX_PATH, cwd);
    const std::string table = "Western,windows-1252,1252\nUnicode,utf-8,65001\nNowhere,x-nowhere,12345\n";
    HANDLE file = ::CreateFileA(charsets, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    ::WriteFile(file, table.data(), static_cast<DWORD>(table.size()), &written, nullptr);
    ::CloseHandle(file);
    const std::string here = std::string(cwd) + (std::string(cwd).back() == '\\' ? "" : "\\");

    struct Case {
        std::vector<std::string> args;
        std::string want;
    } cases[] = {
        // Options before the command; the command word in any case.
        {{"-s", "10.0.0.9", "-u", "admin", "-p", "pw", "STATUS"}, "status server=10.0.0.9 user=admin password=pw"},
        {{"--repeat", "3", "--report-memory", "web", "ON"}, "web repeat=3 memory=1 on=1"},
        {{"help"}, "help"},
        {{"-h", "anything"}, "help"},
        {{"--help"}, "help"},
        {{}, "error: "},
        {{"-s"}, "error: option -s needs a value"},
        {{"--repeat", "0", "status"}, "error: --repeat needs a count from 1 to 1000000"},
        {{"--repeat", "3x", "status"}, "error: --repeat needs a count from 1 to 1000000"},
        {{"--bogus", "status"}, "error: unknown option --bogus"},
        {{"frobnicate"}, "error: unknown command \"frobnicate\""},
        // Commands without arguments.
        {{"connect"}, "connect"},
        {{"status"}, "status"},
        {{"get-path"}, "get-path"},
        {{"disks"}, "disks"},
        {{"status", "now"}, "error: status: expected no arguments"},
        {{"connect", "--x", "1"}, "error: connect: unknown option --x"},
        {{"get-path", "x"}, "error: get-path: expected no arguments"},
        {{"disks", "x"}, "error: disks: expected no arguments"},
        // Switches and priorities.
        {{"bt", "off"}, "bt on=0"},
        {{"web", "On"}, "web on=1"},
        {{"bt"}, "error: bt: expected on or off"},
        {{"web", "maybe"}, "error: web: expected on or off, not \"maybe\""},
        {{"priority", "1001", "low"}, "priority item=1001 priority=-1"},
        {{"priority", "7", "1"}, "priority item=7 priority=1"},
        {{"priority", "7", "NORMAL"}, "priority item=7"},
        {{"priority", "1001"}, "error: priority: expected ITEMID high|normal|low"},
        {{"priority", "1001", "urgent"}, "error: bad priority \"urgent\": expected high, normal or low"},
        // Job actions.
        {{"pause", "bt", "1001"}, "pause item=1001"},
        {{"resume", "WEB", "[HDD1]dl\\", "a b%.iso"}, "resume key=[USB5]dl/a%2520b%2525.iso"},
        {{"remove", "bt", "x"}, "remove item=x"},
        {{"pause"}, "error: pause: expected bt ITEMID or web SAVEPATH FILENAME"},
        {{"pause", "disk", "1"}, "error: pause: expected bt or web, not \"disk\""},
        {{"resume", "bt"}, "error: resume: expected bt ITEMID"},
        {{"remove", "web", "[HDD1]download\\"}, "error: remove: expected web SAVEPATH FILENAME"},
        {{"pause", "bt", "1", "--now", "1"}, "error: pause: unknown option --now"},
        // Adds.
        {{"add-torrent", "Z:\\t\\a.torrent", "--save", "[HDD2]V\\", "--priority", "high"},
         "add-torrent priority=1 file=Z:\\t\\a.torrent save=[HDD2]V\\"},
        {{"add-torrent", "a.torrent"}, "add-torrent file=" + here + "a.torrent"},
        {{"add-torrent"}, "error: add-torrent: expected FILE"},
        {{"add-torrent", "a", "b"}, "error: add-torrent: expected FILE"},
        {{"add-torrent", "a.torrent", "--speed", "1"}, "error: add-torrent: unknown option --speed"},
        {{"add-torrent", "a", "--priority", "x"}, "error: bad priority \"x\": expected high, normal or low"},
        {{"add-torrent-url", "http://h/a b.torrent", "--priority", "low"},
         "add-torrent-url priority=-1 url=http://h/a b.torrent|http://h/a b.torrent"},
        {{"add-torrent-url", ""}, "error: add-torrent-url: the URL is empty"},
        {{"add-torrent-url", "http://h/a", "--user", "u"}, "error: add-torrent-url: unknown option --user"},
        // Path in UTF-8, query in the ANSI code page; or all in the chosen character set.
        {{"add-url", "http://h/\xE9?q=\xE9", "--user", "u", "--password", "p", "--save", "[HDD1]x\\"},
         "add-url save=[HDD1]x\\ url=http://h/%C3%A9?q=\xE9|http://h/%C3%A9?q=%C3%A9 url-user=u url-password=p"},
        {{"add-url", "http://h/r\xE9sum\xE9", "--charset", "windows-1252"},
         "add-url url=http://h/r\xE9sum\xE9|http://h/r%C3%A9sum%C3%A9"},
        {{"add-url", "ftp://h/\xE9", "--charset", "utf-8"}, "add-url url=ftp://h/%C3%A9|ftp://h/%C3%A9"},
        {{"add-url", "ftp://h/\xE9", "--charset", "Default"}, "add-url url=ftp://h/\xE9|ftp://h/%C3%A9"},
        {{"add-url", "http://x/a", "--save"}, "error: add-url: --save needs a value"},
        {{"add-url", "http://x/a", "--charset", "klingon"},
         "error: unknown character set \"klingon\" (see " + std::string(charsets) + ")"},
        {{"add-url", "http://x/a", "--charset", "x-nowhere"},
         "error: character set \"x-nowhere\" (code page 12345) cannot be converted to on this system"},
        // Paths.
        {{"set-path", "[HDD2]Shared Files\\"}, "set-path path=[HDD2]Shared Files\\"},
        {{"folders", "[HDD1]Movies\\"}, "folders path=[HDD1]Movies\\"},
        {{"set-path"}, "error: set-path: expected PATH"},
        {{"folders", "a", "b"}, "error: folders: expected PATH"},
        // Discovery.
        {{"discover"}, "discover"},
        {{"discover", "--wait", "0"}, "discover wait=0"},
        {{"discover", "--wait"}, "error: discover: --wait needs a value"},
        {{"discover", "--wait", "soon"}, "error: discover: bad wait \"soon\": expected milliseconds up to 600000"},
        {{"discover", "--wait", "600001"}, "error: discover: bad wait \"600001\": expected milliseconds up to 600000"},
        {{"discover", "now"}, "error: discover: expected no arguments besides --wait MS"},
        {{"discover", "--port", "1"}, "error: discover: unknown option --port"},
        // JSON where a command prints a result, in any place among its arguments.
        {{"status", "--json"}, "status json=1"},
        {{"get-path", "--json"}, "get-path json=1"},
        {{"disks", "--json"}, "disks json=1"},
        {{"folders", "--json", "[HDD1]"}, "folders json=1 path=[HDD1]"},
        {{"discover", "--json", "--wait", "5"}, "discover json=1 wait=5"},
        {{"connect", "--json"}, "error: connect: unknown option --json"},
        {{"set-path", "[HDD1]", "--json"}, "error: set-path: unknown option --json"},
        {{"bt", "on", "--json"}, "error: bt: unknown option --json"},
        {{"--json", "status"}, "error: unknown option --json"},
        {{"--report-memory", "status", "--json"}, "error: --json cannot be combined with --repeat or --report-memory"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& arg : c.args) line += arg + " ";
        EXPECT_EQ(c.want, Parse(c.args, charsets)) << line;
    }

    // Without a server only discovery runs; the table is read only for --charset.
    EXPECT_EQ("error: no server: give -s ADDRESS or set QUARROW_SERVER", Parse({"status"}, charsets, ""));
    EXPECT_EQ("discover server=", Parse({"discover"}, charsets, ""));
    EXPECT_EQ("status server=h", Parse({"-s", "h", "status"}, charsets, ""));
    EXPECT_EQ("error: cannot read Z:\\nowhere\\charset.csv for --charset utf-8",
              Parse({"add-url", "http://x/a", "--charset", "utf-8"}, "Z:\\nowhere\\charset.csv"));
    EXPECT_EQ("add-url url=http://x/a|http://x/a", Parse({"add-url", "http://x/a"}, "Z:\\nowhere\\charset.csv"));
    ::DeleteFileA(charsets);
}
