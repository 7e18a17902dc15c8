// quarrowctl: the device client from a console, for people who script their
// downloads. It logs in, runs one command through the same operations as the
// main window, and reports a failure as the same message the window would show.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "client/CSConvertor.h"
#include "client/DeviceClient.h"
#include "client/Operation.h"
#include "client/ReplyCode.h"
#include "client/WebFtpKey.h"
#include "common/Handle.h"
#include "tools/ctl_discover.h"
#include "tools/ctl_table.h"

namespace {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,  // the server or an operation reported an error
    kExitUsage = 2,   // the command line was wrong; nothing was sent
};

const char kUsage[] =
    "usage: quarrowctl [-s ADDRESS] [-u USER] [-p PASSWORD] COMMAND [ARGS]\n"
    "\n"
    "ADDRESS, USER and PASSWORD default to the environment variables\n"
    "QUARROW_SERVER, QUARROW_USER and QUARROW_PASSWORD.\n"
    "\n"
    "commands:\n"
    "  status                                    job lists and service switches\n"
    "  bt on|off                                 switch the BT service\n"
    "  web on|off                                switch the Web/FTP service\n"
    "  priority ITEMID high|normal|low           set a BT job's priority\n"
    "  pause|resume|remove bt ITEMID             act on a BT job\n"
    "  pause|resume|remove web SAVEPATH FILENAME act on a Web/FTP job\n"
    "  add-torrent FILE [--save PATH] [--priority high|normal|low]\n"
    "  add-torrent-url URL [--save PATH] [--priority high|normal|low] [--charset NAME]\n"
    "  add-url URL [--save PATH] [--user U] [--password P] [--charset NAME]\n"
    "  get-path                                  the server's default save path\n"
    "  set-path PATH                             set the default save path\n"
    "  disks                                     the server's disks\n"
    "  folders PATH                              the folders inside PATH, e.g. [HDD1]Movies\\\n"
    "  connect                                   log in only (checks address and credentials)\n"
    "  discover [ARGS]                           find storage servers on the LAN\n"
    "\n"
    "Adds without --save use the server's default save path. --charset names an\n"
    "entry of charset.csv beside this program; Default (or none) is the built-in rule.\n"
    "Exit status: 0 done, 1 the server or the operation failed, 2 bad command line.\n";

struct UsageError {
    std::string message;
};

// ---------------------------------------------------------------- output

// Text is ANSI throughout. A real console gets it as UTF-16, so that it shows
// right whatever the console's own code page; a pipe or file gets the ANSI bytes.
void WriteText(DWORD stream, const std::string& text) {
    HANDLE out = ::GetStdHandle(stream);
    if (!out || out == INVALID_HANDLE_VALUE || text.empty()) return;
    DWORD mode = 0, written = 0;
    if (::GetConsoleMode(out, &mode)) {
        int count = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<size_t>(count), L'\0');
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
        ::WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void Out(const std::string& text) { WriteText(STD_OUTPUT_HANDLE, text); }
void Err(const std::string& text) { WriteText(STD_ERROR_HANDLE, text); }

// The message of a result code, from the string table this program embeds.
std::string MessageText(int code) {
    char buffer[1024] = {};
    if (::LoadStringA(::GetModuleHandleA(nullptr), static_cast<UINT>(code), buffer, sizeof buffer) > 0) return buffer;
    return "Undefined error!";
}

int ReportFailure(int code) {
    Err("quarrowctl: " + MessageText(code) + " (" + std::to_string(code) + ")\n");
    return kExitFailed;
}

// A mistake gets one line about what is wrong and the synopsis; "help" has the rest.
int ReportUsage(const std::string& message) {
    Err("quarrowctl: " + message + "\n" + std::string(kUsage, std::string_view(kUsage).find('\n') + 1) +
        "Run \"quarrowctl help\" for the list of commands.\n");
    return kExitUsage;
}

// ---------------------------------------------------------------- inputs

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(::tolower(c)); });
    return text;
}

std::string Environment(const char* name) {
    char buffer[1024] = {};
    DWORD length = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

int ParseOnOff(const std::string& word, const char* command) {
    std::string value = Lower(word);
    if (value == "on") return 1;
    if (value == "off") return 0;
    throw UsageError{std::string(command) + ": expected on or off, not \"" + word + "\""};
}

// 1 High, 0 Normal, -1 Low, as the server numbers them; the numbers are accepted too.
int ParsePriority(const std::string& word) {
    std::string value = Lower(word);
    if (value == "high" || value == "1") return 1;
    if (value == "normal" || value == "0") return 0;
    if (value == "low" || value == "-1") return -1;
    throw UsageError{"bad priority \"" + word + "\": expected high, normal or low"};
}

std::string PriorityName(int priority) {
    switch (priority) {
    case 1: return "High";
    case 0: return "Normal";
    case -1: return "Low";
    default: return std::to_string(priority);
    }
}

// Positional arguments and "--name value" options of one command.
struct CommandArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;

    bool Has(const std::string& name) const { return options.count(name) != 0; }
    std::string Get(const std::string& name) const {
        auto it = options.find(name);
        return it == options.end() ? std::string() : it->second;
    }
};

CommandArgs SplitArgs(const std::string& command, const std::vector<std::string>& args,
                      const std::vector<std::string>& allowed) {
    CommandArgs split;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            std::string name = arg.substr(2);
            if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
                throw UsageError{command + ": unknown option " + arg};
            if (i + 1 >= args.size()) throw UsageError{command + ": " + arg + " needs a value"};
            split.options[name] = args[++i];
        } else {
            split.positional.push_back(arg);
        }
    }
    return split;
}

void ExpectCount(const std::string& command, const CommandArgs& args, size_t count, const char* shape) {
    if (args.positional.size() != count) throw UsageError{command + ": expected " + shape};
}

// ---------------------------------------------------------------- URL texts

std::string ProgramDirectory() {
    char path[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, length);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

// 0 stands for the Default entry: the built-in rule of DefaultEncodeUrl.
int CodePageOfCharset(const std::string& name) {
    if (name.empty() || Lower(name) == "default") return 0;
    client::CCSConvertor table;
    std::string file = ProgramDirectory() + "charset.csv";
    if (!table.LoadCharsetFile(file)) throw UsageError{"cannot read " + file + " for --charset " + name};
    int codePage = table.CodePageFromName(name);
    if (codePage == 0) throw UsageError{"unknown character set \"" + name + "\" (see " + file + ")"};
    return codePage;
}

struct UrlTexts {
    std::string chosen;  // for the chosen character set
    std::string utf8;
};

// The URL is sent as given: characters that take one byte stay as they are and
// the others become percent-escapes of their bytes. The console does not guess
// whether a URL is already escaped; a URL with "%" in a file name must carry it
// escaped ("%25"), as any other HTTP client would expect.
UrlTexts EncodeUrl(const std::string& url, int codePage) {
    UrlTexts texts;
    if (codePage == 0) {
        texts.chosen = client::CCSConvertor::DefaultEncodeUrl(url);
    } else {
        int count = ::MultiByteToWideChar(CP_ACP, 0, url.data(), static_cast<int>(url.size()), nullptr, 0);
        std::wstring wide(static_cast<size_t>(count), L'\0');
        ::MultiByteToWideChar(CP_ACP, 0, url.data(), static_cast<int>(url.size()), wide.data(), count);
        texts.chosen = client::CCSConvertor::EncodeWideForCodePage(wide, codePage);
    }
    texts.utf8 = client::CCSConvertor::EncodeForCodePage(url, client::CCSConvertor::GetUtf8CodePage());
    return texts;
}

// ---------------------------------------------------------------- commands

// One run of a command on a connected client: its result code, and what it
// prints on success in `out`.
using Action = std::function<int(client::CDeviceClient&, std::string& out)>;

std::string OnOff(int flag) { return flag ? "on" : "off"; }

std::string FormatStatus(const client::ServerStatus& status) {
    std::string out = "BT service: " + OnOff(status.btEnabled) + "\n";
    out += "Web/FTP service: " + OnOff(status.webFtpEnabled) + "\n";

    out += "\nBT jobs: " + std::to_string(status.btItems.size()) + "\n";
    if (!status.btItems.empty()) {
        std::vector<ctl::TableRow> rows;
        int number = 0;
        for (const auto& item : status.btItems)
            rows.push_back({std::to_string(++number), ctl::CellText(item.itemId), ctl::CellText(item.name),
                            ctl::CellText(item.totalSize), ctl::CellText(item.schedule),
                            ctl::CellText(item.throughput), ctl::CellText(item.status), PriorityName(item.priority)});
        out += ctl::FormatTable({"#", "Item ID", "Name", "Size", "Progress", "Speed", "Status", "Priority"}, rows);
    }

    out += "\nWeb/FTP jobs: " + std::to_string(status.webFtpItems.size()) + "\n";
    if (!status.webFtpItems.empty()) {
        std::vector<ctl::TableRow> rows;
        int number = 0;
        for (const auto& item : status.webFtpItems)
            rows.push_back({std::to_string(++number), ctl::CellText(item.fileName), ctl::CellText(item.size),
                            ctl::CellText(item.loadedSize), ctl::CellText(item.status), ctl::CellText(item.savePath),
                            ctl::CellText(item.url)});
        out += ctl::FormatTable({"#", "File name", "Size", "Loaded", "Status", "Save path", "URL"}, rows);
    }
    return out;
}

// An add without --save goes to the server's own default path, as the add dialogs propose it.
int ResolveSavePath(client::CDeviceClient& device, const CommandArgs& args, std::string& savePath) {
    if (args.Has("save")) {
        savePath = args.Get("save");
        return client::kResultOk;
    }
    return device.GetDefaultPath(savePath);
}

Action PrepareJobAction(const std::string& command, const std::vector<std::string>& raw) {
    CommandArgs args = SplitArgs(command, raw, {});
    if (args.positional.empty()) throw UsageError{command + ": expected bt ITEMID or web SAVEPATH FILENAME"};
    std::string kind = Lower(args.positional[0]);
    if (kind == "bt") {
        ExpectCount(command, args, 2, "bt ITEMID");
        std::string id = args.positional[1];
        if (command == "pause") return [id](client::CDeviceClient& d, std::string&) { return d.PauseBtItem(id); };
        if (command == "resume") return [id](client::CDeviceClient& d, std::string&) { return d.ResumeBtItem(id); };
        return [id](client::CDeviceClient& d, std::string&) { return d.RemoveBtItem(id); };
    }
    if (kind == "web") {
        ExpectCount(command, args, 3, "web SAVEPATH FILENAME");
        client::WebFTPItem item;
        item.savePath = args.positional[1];
        item.fileName = args.positional[2];
        std::string key = client::BuildWebFtpKey(item);
        if (command == "pause") return [key](client::CDeviceClient& d, std::string&) { return d.PauseWebFtpItem(key); };
        if (command == "resume")
            return [key](client::CDeviceClient& d, std::string&) { return d.ResumeWebFtpItem(key); };
        return [key](client::CDeviceClient& d, std::string&) { return d.RemoveWebFtpItem(key); };
    }
    throw UsageError{command + ": expected bt or web, not \"" + args.positional[0] + "\""};
}

// Checks the command line completely before anything is sent, so that a typo
// never leaves half a job behind.
Action Prepare(const std::string& command, const std::vector<std::string>& raw) {
    using client::CDeviceClient;

    if (command == "connect") {
        ExpectCount(command, SplitArgs(command, raw, {}), 0, "no arguments");
        return [](CDeviceClient&, std::string&) { return int{client::kResultOk}; };
    }
    if (command == "status") {
        ExpectCount(command, SplitArgs(command, raw, {}), 0, "no arguments");
        return [](CDeviceClient& d, std::string& out) {
            client::ServerStatus status;
            int result = d.RefreshStatus(status);
            if (result == client::kResultOk) out = FormatStatus(status);
            return result;
        };
    }
    if (command == "bt" || command == "web") {
        CommandArgs args = SplitArgs(command, raw, {});
        ExpectCount(command, args, 1, "on or off");
        int on = ParseOnOff(args.positional[0], command.c_str());
        if (command == "bt") return [on](CDeviceClient& d, std::string&) { return d.SetBtEnable(on); };
        return [on](CDeviceClient& d, std::string&) { return d.SetWebFtpEnable(on); };
    }
    if (command == "priority") {
        CommandArgs args = SplitArgs(command, raw, {});
        ExpectCount(command, args, 2, "ITEMID high|normal|low");
        std::string id = args.positional[0];
        int priority = ParsePriority(args.positional[1]);
        return [id, priority](CDeviceClient& d, std::string&) { return d.SetBtPriority(id, priority); };
    }
    if (command == "pause" || command == "resume" || command == "remove") return PrepareJobAction(command, raw);
    if (command == "add-torrent") {
        CommandArgs args = SplitArgs(command, raw, {"save", "priority"});
        ExpectCount(command, args, 1, "FILE");
        int priority = args.Has("priority") ? ParsePriority(args.Get("priority")) : 0;
        // The server is told where the torrent came from; a relative name means nothing there.
        char full[MAX_PATH] = {};
        DWORD length = ::GetFullPathNameA(args.positional[0].c_str(), MAX_PATH, full, nullptr);
        std::string pcPath = length > 0 && length < MAX_PATH ? std::string(full, length) : args.positional[0];
        return [args, pcPath, priority](CDeviceClient& d, std::string&) {
            win::FileHandle file(::CreateFileA(pcPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file) return int{client::kResultCannotOpenFile};
            std::string savePath;
            int result = ResolveSavePath(d, args, savePath);
            if (result != client::kResultOk) return result;
            return d.AddBtItemFromFile(pcPath, file.Get(), savePath, priority);
        };
    }
    if (command == "add-torrent-url") {
        CommandArgs args = SplitArgs(command, raw, {"save", "priority", "charset"});
        ExpectCount(command, args, 1, "URL");
        if (args.positional[0].empty()) throw UsageError{command + ": the URL is empty"};
        int priority = args.Has("priority") ? ParsePriority(args.Get("priority")) : 0;
        UrlTexts url = EncodeUrl(args.positional[0], CodePageOfCharset(args.Get("charset")));
        return [args, url, priority](CDeviceClient& d, std::string&) {
            client::AddBtUrlArg add;
            int result = ResolveSavePath(d, args, add.savePath);
            if (result != client::kResultOk) return result;
            add.urlEncoded = url.chosen;
            add.urlUtf8 = url.utf8;
            add.priority = priority;
            return d.AddBtItemFromUrl(add);
        };
    }
    if (command == "add-url") {
        CommandArgs args = SplitArgs(command, raw, {"save", "user", "password", "charset"});
        ExpectCount(command, args, 1, "URL");
        if (args.positional[0].empty()) throw UsageError{command + ": the URL is empty"};
        UrlTexts url = EncodeUrl(args.positional[0], CodePageOfCharset(args.Get("charset")));
        return [args, url](CDeviceClient& d, std::string&) {
            client::AddWebFtpArg add;
            int result = ResolveSavePath(d, args, add.savePath);
            if (result != client::kResultOk) return result;
            add.urlEncoded = url.chosen;
            add.urlUtf8 = url.utf8;
            add.user = args.Get("user");
            add.password = args.Get("password");
            return d.AddWebFtpItem(add);
        };
    }
    if (command == "get-path") {
        ExpectCount(command, SplitArgs(command, raw, {}), 0, "no arguments");
        return [](CDeviceClient& d, std::string& out) {
            std::string path;
            int result = d.GetDefaultPath(path);
            if (result == client::kResultOk) out = path + "\n";
            return result;
        };
    }
    if (command == "set-path") {
        CommandArgs args = SplitArgs(command, raw, {});
        ExpectCount(command, args, 1, "PATH");
        std::string path = args.positional[0];
        return [path](CDeviceClient& d, std::string&) { return d.SetDefaultPath(path); };
    }
    if (command == "disks") {
        ExpectCount(command, SplitArgs(command, raw, {}), 0, "no arguments");
        return [](CDeviceClient& d, std::string& out) {
            std::vector<std::string> disks;
            int result = d.OpenRoot(disks);
            for (const auto& disk : disks) out += disk + "\n";
            return result;
        };
    }
    if (command == "folders") {
        CommandArgs args = SplitArgs(command, raw, {});
        ExpectCount(command, args, 1, "PATH");
        std::string folder = args.positional[0];
        return [folder](CDeviceClient& d, std::string& out) {
            std::vector<std::string> names;
            int result = d.OpenSubCatalog(folder, names);
            for (const auto& name : names) out += name + "\n";
            return result;
        };
    }
    throw UsageError{"unknown command \"" + command + "\""};
}

// ---------------------------------------------------------------- measuring

// Hidden options for the benchmark script: --repeat N times the command N
// times after one login and prints one line per run; --report-memory prints
// the process's peak memory when the command is done.
struct Measuring {
    int repeat = 0;
    bool reportMemory = false;
};

std::string MemoryReport() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters)) return "memory: unavailable\n";
    return "memory: peak_working_set=" + std::to_string(counters.PeakWorkingSetSize) +
           " peak_pagefile=" + std::to_string(counters.PeakPagefileUsage) + "\n";
}

int RunTimed(client::CDeviceClient& device, const Action& action, int repeat) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    std::string times;
    int result = client::kResultOk;
    for (int run = 0; run < repeat && result == client::kResultOk; ++run) {
        std::string ignored;
        LARGE_INTEGER start, end;
        ::QueryPerformanceCounter(&start);
        result = action(device, ignored);
        ::QueryPerformanceCounter(&end);
        long long micros = (end.QuadPart - start.QuadPart) * 1000000LL / frequency.QuadPart;
        times += "time_us: " + std::to_string(micros) + "\n";
    }
    Out(times);
    return result;
}

// ---------------------------------------------------------------- main

struct Login {
    std::string address, user, password;
};

int Main(int argc, char** argv) {
    Login login;
    login.address = Environment("QUARROW_SERVER");
    if (login.address.empty()) login.address = Environment("QUARROW_TEST_SERVER");
    login.user = Environment("QUARROW_USER");
    login.password = Environment("QUARROW_PASSWORD");
    Measuring measuring;

    int i = 1;
    try {
        for (; i < argc && argv[i][0] == '-'; ++i) {
            std::string option = argv[i];
            if (option == "-h" || option == "--help") {
                Out(kUsage);
                return kExitOk;
            }
            if (option == "--report-memory") {
                measuring.reportMemory = true;
                continue;
            }
            if (i + 1 >= argc) throw UsageError{"option " + option + " needs a value"};
            std::string value = argv[++i];
            if (option == "-s") {
                login.address = value;
            } else if (option == "-u") {
                login.user = value;
            } else if (option == "-p") {
                login.password = value;
            } else if (option == "--repeat") {
                measuring.repeat = std::atoi(value.c_str());
                if (measuring.repeat < 1) throw UsageError{"--repeat needs a positive count"};
            } else {
                throw UsageError{"unknown option " + option};
            }
        }
    } catch (const UsageError& error) {
        return ReportUsage(error.message);
    }

    if (i >= argc) {
        Err(kUsage);
        return kExitUsage;
    }
    std::string command = Lower(argv[i]);
    if (command == "help") {
        Out(kUsage);
        return kExitOk;
    }
    // Discovery is a broadcast of its own and needs no login.
    if (command == "discover") return RunDiscoverCommand(argc - i - 1, argv + i + 1);

    Action action;
    try {
        action = Prepare(command, std::vector<std::string>(argv + i + 1, argv + argc));
        if (login.address.empty()) throw UsageError{"no server: give -s ADDRESS or set QUARROW_SERVER"};
    } catch (const UsageError& error) {
        return ReportUsage(error.message);
    }

    client::CDeviceClient device(std::make_shared<client::BlockingOperationHost>());
    // The credentials of the command line, never stored; a refused login ends the command.
    device.SetLoginHooks({std::make_shared<client::FixedLoginStore>(login.user, login.password), nullptr});
    int result = device.Connect(login.address, login.address);
    if (result == client::kResultOk) {
        if (measuring.repeat > 0) {
            result = RunTimed(device, action, measuring.repeat);
        } else {
            std::string out;
            result = action(device, out);
            if (result == client::kResultOk) Out(out);
        }
    }
    if (measuring.reportMemory) Out(MemoryReport());
    return result == client::kResultOk ? kExitOk : ReportFailure(result);
}

}  // namespace

int main(int argc, char** argv) {
    // No exception leaves the program as a crash dialog; the device client
    // reports its own failures as result codes, so this is a last resort.
    try {
        return Main(argc, argv);
    } catch (const std::exception& error) {
        Err(std::string("quarrowctl: ") + error.what() + "\n");
    } catch (...) {
        Err("quarrowctl: unexpected failure\n");
    }
    return kExitFailed;
}
