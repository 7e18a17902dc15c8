// quarrowctl: the device client from a console, for people who script their
// downloads. It logs in, runs one command through the same operations as the
// main window, and reports a failure as the same message the window would show.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "client/DeviceClient.h"
#include "client/Operation.h"
#include "client/ReplyCode.h"
#include "common/Handle.h"
#include "tools/ctl_args.h"
#include "tools/ctl_discover.h"
#include "tools/ctl_output.h"

namespace {

using ctl::Command;
using ctl::Invocation;
using K = client::OperationKind;

std::string Environment(const char* name) {
    char buffer[1024] = {};
    DWORD length = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

std::string ProgramDirectory() {
    char path[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, length);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

// An add without --save goes to the server's own default path, as the add dialogs propose it.
int SavePath(client::CDeviceClient& device, const Invocation& v, std::string& savePath) {
    if (v.hasSavePath) {
        savePath = v.savePath;
        return client::kResultOk;
    }
    client::PathArg defaultPath;
    const int result = device.Run(K::GetDefaultPath, defaultPath);
    savePath = defaultPath.path;
    return result;
}

// One run of the command on a connected client: its result code, and what it
// prints on success in `out`.
int Run(client::CDeviceClient& d, const Invocation& v, std::string& out) {
    const bool bt = v.kind == ctl::JobKind::Bt;
    switch (v.command) {
    case Command::Connect:
        return client::kResultOk;
    case Command::Status: {
        client::ServerStatus status;
        const int result = d.Run(K::RefreshStatus, status);
        if (result == client::kResultOk) out = v.json ? ctl::StatusJson(status) : ctl::FormatStatus(status);
        return result;
    }
    case Command::SetBt:
        return d.Run(K::SetBtEnable, client::SwitchArg{v.on});
    case Command::SetWeb:
        return d.Run(K::SetWebFtpEnable, client::SwitchArg{v.on});
    case Command::Priority:
        return d.Run(K::SetBtPriority, client::PriorityArg{v.itemId, v.priority});
    case Command::Pause:
        return d.Run(bt ? K::PauseBtItem : K::PauseWebFtpItem, client::ItemKeyArg{bt ? v.itemId : v.webKey});
    case Command::Resume:
        return d.Run(bt ? K::ResumeBtItem : K::ResumeWebFtpItem, client::ItemKeyArg{bt ? v.itemId : v.webKey});
    case Command::Remove:
        return d.Run(bt ? K::RemoveBtItem : K::RemoveWebFtpItem, client::ItemKeyArg{bt ? v.itemId : v.webKey});
    case Command::AddTorrent: {
        client::AddBtFileArg add{v.file, client::OpenTorrentFile(v.file), {}, v.priority};
        if (!add.file) return client::kResultCannotOpenFile;
        const int result = SavePath(d, v, add.savePath);
        if (result != client::kResultOk) return result;
        return d.Run(K::AddBtItemFromFile, add);
    }
    case Command::AddTorrentUrl: {
        client::AddBtUrlArg add;
        const int result = SavePath(d, v, add.savePath);
        if (result != client::kResultOk) return result;
        add.urlEncoded = v.urlEncoded;
        add.urlUtf8 = v.urlUtf8;
        add.priority = v.priority;
        return d.Run(K::AddBtItemFromUrl, add);
    }
    case Command::AddUrl: {
        client::AddWebFtpArg add;
        const int result = SavePath(d, v, add.savePath);
        if (result != client::kResultOk) return result;
        add.urlEncoded = v.urlEncoded;
        add.urlUtf8 = v.urlUtf8;
        add.user = v.urlUser;
        add.password = v.urlPassword;
        return d.Run(K::AddWebFtpItem, add);
    }
    case Command::GetPath: {
        client::PathArg current;
        const int result = d.Run(K::GetDefaultPath, current);
        if (result == client::kResultOk)
            out = v.json ? ctl::DefaultPathJson(current.path) : ctl::FormatLines({current.path});
        return result;
    }
    case Command::SetPath:
        return d.Run(K::SetDefaultPath, client::PathArg{v.path});
    case Command::Disks: {
        client::FolderListArg disks;
        const int result = d.Run(K::OpenRoot, disks);
        out = v.json ? ctl::ListJson("disks", disks.names) : ctl::FormatLines(disks.names);
        return result;
    }
    case Command::Folders: {
        client::FolderListArg folders{v.path, {}};
        const int result = d.Run(K::OpenSubCatalog, folders);
        out = v.json ? ctl::ListJson("folders", folders.names) : ctl::FormatLines(folders.names);
        return result;
    }
    case Command::Help:
    case Command::Discover:
        break;
    }
    return client::kResultUndefinedError;
}

// --repeat N: the command N times after one login, one line per run.
int RunTimed(client::CDeviceClient& device, const Invocation& v) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    std::string times;
    int result = client::kResultOk;
    for (int run = 0; run < v.repeat && result == client::kResultOk; ++run) {
        std::string ignored;
        LARGE_INTEGER start, end;
        ::QueryPerformanceCounter(&start);
        result = Run(device, v, ignored);
        ::QueryPerformanceCounter(&end);
        long long micros = (end.QuadPart - start.QuadPart) * 1000000LL / frequency.QuadPart;
        times += "time_us: " + std::to_string(micros) + "\n";
    }
    ctl::Out(times);
    return result;
}

int Main(int argc, char** argv) {
    ctl::Defaults defaults;
    defaults.address = Environment("QUARROW_SERVER");
    if (defaults.address.empty()) defaults.address = Environment("QUARROW_TEST_SERVER");
    defaults.user = Environment("QUARROW_USER");
    defaults.password = Environment("QUARROW_PASSWORD");

    Invocation v;
    try {
        v = ctl::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), defaults,
                                  ProgramDirectory() + "charset.csv");
    } catch (const ctl::UsageError& error) { return ctl::ReportUsage(error.message); }
    if (v.command == Command::Help) {
        ctl::Out(ctl::Usage());
        return ctl::kExitOk;
    }
    if (v.command == Command::Discover) return RunDiscover(v.waitMs, v.json);

    client::CDeviceClient device(std::make_shared<client::BlockingOperationHost>());
    // The credentials of the command line, never stored; a refused login ends the command.
    device.SetLoginHooks({std::make_shared<client::FixedLoginStore>(v.user, v.password), nullptr});
    int result = device.Run(K::Connect, client::ConnectArg{v.address, v.address});
    if (result == client::kResultOk) {
        if (v.repeat > 0) {
            result = RunTimed(device, v);
        } else {
            std::string out;
            result = Run(device, v, out);
            // A failure prints nothing on stdout, JSON or not: the message goes to stderr.
            if (result == client::kResultOk) v.json ? ctl::OutUtf8(out) : ctl::Out(out);
        }
    }
    if (v.reportMemory) ctl::Out(ctl::MemoryReport());
    return result == client::kResultOk ? ctl::kExitOk : ctl::ReportFailure(result);
}

}  // namespace

int main(int argc, char** argv) {
    // No exception leaves the program as a crash dialog; the device client
    // reports its own failures as result codes, so this is a last resort.
    try {
        return Main(argc, argv);
    } catch (const std::exception& error) { ctl::Err(std::string("quarrowctl: ") + error.what() + "\n"); } catch (...) {
        ctl::Err("quarrowctl: unexpected failure\n");
    }
    return ctl::kExitFailed;
}
