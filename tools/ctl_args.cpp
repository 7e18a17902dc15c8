#include "tools/ctl_args.h"

#include <algorithm>
#include <map>

#include "client/CSConvertor.h"
#include "client/StatusTypes.h"
#include "client/WebFtpKey.h"
#include "tools/ctl_resource.h"
#include "tools/ctl_text.h"

namespace ctl {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(::tolower(c)); });
    return text;
}

// A count made of digits only, at most `most`.
bool ReadCount(const std::string& text, unsigned long most, unsigned long& value) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const unsigned long long number = std::stoull(text);
    if (number > most) return false;
    value = static_cast<unsigned long>(number);
    return true;
}

int ParseOnOff(const std::string& word, const std::string& command) {
    const std::string value = Lower(word);
    if (value == "on") return 1;
    if (value == "off") return 0;
    throw UsageError{Text(IDS_CTL_NOT_ON_OFF, {command, word})};
}

// 1 High, 0 Normal, -1 Low, as the server numbers them; the numbers are accepted too.
int ParsePriority(const std::string& word) {
    const std::string value = Lower(word);
    if (value == "high" || value == "1") return 1;
    if (value == "normal" || value == "0") return 0;
    if (value == "low" || value == "-1") return -1;
    throw UsageError{Text(IDS_CTL_BAD_PRIORITY, {word})};
}

// Positional arguments, "--name value" options and "--name" flags of one command.
struct CommandArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    bool json = false;

    bool Has(const std::string& name) const { return options.count(name) != 0; }
    std::string Get(const std::string& name) const {
        auto it = options.find(name);
        return it == options.end() ? std::string() : it->second;
    }
};

// `expected`: the message when the count of positional arguments is not `count`
// (0: any count will do). `json`: the command can print its result as JSON, so
// it takes the flag --json.
CommandArgs SplitArgs(const std::string& command, const std::vector<std::string>& args,
                      const std::vector<std::string>& allowed, size_t count, UINT expected, bool json = false) {
    CommandArgs split;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (json && arg == "--json") {
            split.json = true;
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            std::string name = arg.substr(2);
            if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
                throw UsageError{Text(IDS_CTL_COMMAND_UNKNOWN_OPTION, {command, arg})};
            if (i + 1 >= args.size()) throw UsageError{Text(IDS_CTL_COMMAND_OPTION_NEEDS_VALUE, {command, arg})};
            split.options[name] = args[++i];
        } else {
            split.positional.push_back(arg);
        }
    }
    if (expected && split.positional.size() != count) throw UsageError{Text(expected, {command})};
    return split;
}

// 0 stands for the Default entry: the built-in rule of DefaultEncodeUrl.
int CodePageOfCharset(const std::string& name, const std::string& file) {
    if (name.empty() || Lower(name) == "default") return 0;
    client::CCSConvertor table;
    if (!table.LoadCharsetFile(file)) throw UsageError{Text(IDS_CTL_CHARSET_FILE_UNREADABLE, {file, name})};
    const int codePage = table.CodePageFromName(name);
    if (codePage == 0) throw UsageError{Text(IDS_CTL_CHARSET_UNKNOWN, {name, file})};
    // Without the code page every character would drop out of the link.
    if (!client::CCSConvertor::CanEncodeTo(codePage))
        throw UsageError{Text(IDS_CTL_CHARSET_UNSUPPORTED, {name, std::to_string(codePage)})};
    return codePage;
}

// The URL is sent as given: characters that take one byte stay as they are and
// the others become percent-escapes of their bytes. The console does not guess
// whether a URL is already escaped; a URL with "%" in a file name must carry it
// escaped ("%25"), as any other HTTP client would expect.
void ParseUrl(const std::string& command, const CommandArgs& args, const std::string& charsetFile, Invocation& v) {
    const std::string& url = args.positional[0];
    if (url.empty()) throw UsageError{Text(IDS_CTL_URL_EMPTY, {command})};
    const int codePage = CodePageOfCharset(args.Get("charset"), charsetFile);
    if (codePage == 0) {
        v.urlEncoded = client::CCSConvertor::DefaultEncodeUrl(url);
    } else {
        v.urlEncoded = client::CCSConvertor::EncodeWideForCodePage(client::CCSConvertor::ToWide(url, CP_ACP), codePage);
    }
    v.urlUtf8 = client::CCSConvertor::EncodeForCodePage(url, client::CCSConvertor::GetUtf8CodePage());
    if (v.urlEncoded.empty() || v.urlUtf8.empty()) throw UsageError{Text(IDS_CTL_URL_UNCONVERTIBLE, {command})};
}

void ParseSaveAndPriority(const CommandArgs& args, Invocation& v) {
    v.hasSavePath = args.Has("save");
    v.savePath = args.Get("save");
    if (args.Has("priority")) v.priority = ParsePriority(args.Get("priority"));
}

void ParseJobAction(const std::string& command, const std::vector<std::string>& raw, Invocation& v) {
    CommandArgs args = SplitArgs(command, raw, {}, 0, 0);
    if (args.positional.empty()) throw UsageError{Text(IDS_CTL_EXPECTED_JOB, {command})};
    const std::string kind = Lower(args.positional[0]);
    if (kind == "bt") {
        if (args.positional.size() != 2) throw UsageError{Text(IDS_CTL_EXPECTED_BT_JOB, {command})};
        v.kind = JobKind::Bt;
        v.itemId = args.positional[1];
    } else if (kind == "web") {
        if (args.positional.size() != 3) throw UsageError{Text(IDS_CTL_EXPECTED_WEB_JOB, {command})};
        v.kind = JobKind::Web;
        client::WebFTPItem item;
        item.savePath = args.positional[1];
        item.fileName = args.positional[2];
        v.webKey = client::BuildWebFtpKey(item);
    } else {
        throw UsageError{Text(IDS_CTL_NOT_BT_OR_WEB, {command, args.positional[0]})};
    }
}

// The command's own arguments.
void ParseCommand(const std::string& command, const std::vector<std::string>& raw, const std::string& charsetFile,
                  Invocation& v) {
    struct Plain {
        const char* name;
        Command command;
        bool json;
    };
    // Commands without arguments (but --json where they print a result).
    static const Plain kPlain[] = {{"connect", Command::Connect, false},
                                   {"status", Command::Status, true},
                                   {"get-path", Command::GetPath, true},
                                   {"disks", Command::Disks, true}};
    for (const Plain& plain : kPlain)
        if (command == plain.name) {
            v.json = SplitArgs(command, raw, {}, 0, IDS_CTL_EXPECTED_NO_ARGUMENTS, plain.json).json;
            v.command = plain.command;
            return;
        }
    if (command == "bt" || command == "web") {
        v.command = command == "bt" ? Command::SetBt : Command::SetWeb;
        v.on = ParseOnOff(SplitArgs(command, raw, {}, 1, IDS_CTL_EXPECTED_ON_OFF).positional[0], command);
    } else if (command == "priority") {
        CommandArgs args = SplitArgs(command, raw, {}, 2, IDS_CTL_EXPECTED_PRIORITY);
        v.command = Command::Priority;
        v.itemId = args.positional[0];
        v.priority = ParsePriority(args.positional[1]);
    } else if (command == "pause" || command == "resume" || command == "remove") {
        v.command = command == "pause" ? Command::Pause : command == "resume" ? Command::Resume : Command::Remove;
        ParseJobAction(command, raw, v);
    } else if (command == "add-torrent") {
        CommandArgs args = SplitArgs(command, raw, {"save", "priority"}, 1, IDS_CTL_EXPECTED_FILE);
        v.command = Command::AddTorrent;
        ParseSaveAndPriority(args, v);
        // The server is told where the torrent came from; a relative name means nothing there.
        char full[MAX_PATH] = {};
        const DWORD length = ::GetFullPathNameA(args.positional[0].c_str(), MAX_PATH, full, nullptr);
        v.file = length > 0 && length < MAX_PATH ? std::string(full, length) : args.positional[0];
    } else if (command == "add-torrent-url") {
        CommandArgs args = SplitArgs(command, raw, {"save", "priority", "charset"}, 1, IDS_CTL_EXPECTED_URL);
        v.command = Command::AddTorrentUrl;
        ParseSaveAndPriority(args, v);
        ParseUrl(command, args, charsetFile, v);
    } else if (command == "add-url") {
        CommandArgs args = SplitArgs(command, raw, {"save", "user", "password", "charset"}, 1, IDS_CTL_EXPECTED_URL);
        v.command = Command::AddUrl;
        ParseSaveAndPriority(args, v);
        ParseUrl(command, args, charsetFile, v);
        v.urlUser = args.Get("user");
        v.urlPassword = args.Get("password");
    } else if (command == "set-path" || command == "folders") {
        v.command = command == "set-path" ? Command::SetPath : Command::Folders;
        CommandArgs args = SplitArgs(command, raw, {}, 1, IDS_CTL_EXPECTED_PATH, v.command == Command::Folders);
        v.path = args.positional[0];
        v.json = args.json;
    } else if (command == "discover") {
        CommandArgs args = SplitArgs(command, raw, {"wait"}, 0, IDS_CTL_EXPECTED_WAIT_ONLY, true);
        v.command = Command::Discover;
        v.json = args.json;
        unsigned long wait = v.waitMs;
        if (args.Has("wait") && !ReadCount(args.Get("wait"), 600000, wait))
            throw UsageError{Text(IDS_CTL_BAD_WAIT, {args.Get("wait")})};
        v.waitMs = wait;
    } else {
        throw UsageError{Text(IDS_CTL_UNKNOWN_COMMAND, {command})};
    }
}

}  // namespace

Invocation ParseCommandLine(const std::vector<std::string>& args, const Defaults& defaults,
                            const std::string& charsetFile) {
    Invocation v;
    v.address = defaults.address;
    v.user = defaults.user;
    v.password = defaults.password;

    size_t i = 0;
    for (; i < args.size() && !args[i].empty() && args[i][0] == '-'; ++i) {
        const std::string& option = args[i];
        if (option == "-h" || option == "--help") {
            v.command = Command::Help;
            return v;
        }
        if (option == "--report-memory") {
            v.reportMemory = true;
            continue;
        }
        if (option != "-s" && option != "-u" && option != "-p" && option != "--repeat")
            throw UsageError{Text(IDS_CTL_UNKNOWN_OPTION, {option})};
        if (i + 1 >= args.size()) throw UsageError{Text(IDS_CTL_OPTION_NEEDS_VALUE, {option})};
        const std::string& value = args[++i];
        if (option == "-s") {
            v.address = value;
        } else if (option == "-u") {
            v.user = value;
        } else if (option == "-p") {
            v.password = value;
        } else {
            unsigned long repeat = 0;
            if (!ReadCount(value, 1000000, repeat) || repeat == 0) throw UsageError{Text(IDS_CTL_BAD_REPEAT)};
            v.repeat = static_cast<int>(repeat);
        }
    }
    if (i >= args.size()) throw UsageError{};

    const std::string command = Lower(args[i]);
    if (command == "help") {
        v.command = Command::Help;
        return v;
    }
    ParseCommand(command, std::vector<std::string>(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end()),
                 charsetFile, v);
    // The measuring options print lines of their own, which would break the document.
    if (v.json && (v.repeat > 0 || v.reportMemory)) throw UsageError{Text(IDS_CTL_JSON_WITH_MEASURING)};
    // Discovery is a broadcast of its own and needs no login.
    if (v.command != Command::Discover && v.address.empty()) throw UsageError{Text(IDS_CTL_NO_SERVER)};
    return v;
}

}  // namespace ctl
