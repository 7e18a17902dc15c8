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
    return device.GetDefaultPath(savePath);
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
        const int result = d.RefreshStatus(status);
        if (result == client::kResultOk) out = v.json ? ctl::StatusJson(status) : ctl::FormatStatus(status);
        return result;
    }
    case Command::SetBt:
        return d.SetBtEnable(v.on);
    case Command::SetWeb:
        return d.SetWebFtpEnable(v.on);
    case Command::Priority:
        return d.SetBtPriority(v.itemId, v.priority);
    case Command::Pause:
        return bt ? d.PauseBtItem(v.itemId) : d.PauseWebFtpItem(v.webKey);
    case Command::Resume:
        return bt ? d.ResumeBtItem(v.itemId) : d.ResumeWebFtpItem(v.webKey);
    case Command::Remove:
        return bt ? d.RemoveBtItem(v.itemId) : d.RemoveWebFtpItem(v.webKey);
    case Command::AddTorrent: {
        win::FileHandle file(::CreateFileA(v.file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return client::kResultCannotOpenFile;
        std::string savePath;
        const int result = SavePath(d, v, savePath);
        if (result != client::kResultOk) return result;
        return d.AddBtItemFromFile(v.file, file.Get(), savePath, v.priority);
    }
    case Command::AddTorrentUrl: {
        client::AddBtUrlArg add;
        const int result = SavePath(d, v, add.savePath);
        if (result != client::kResultOk) return result;
        add.urlEncoded = v.urlEncoded;
        add.urlUtf8 = v.urlUtf8;
        add.priority = v.priority;
        return d.AddBtItemFromUrl(add);
    }
    case Command::AddUrl: {
        client::AddWebFtpArg add;
        const int result = SavePath(d, v, add.savePath);
        if (result != client::kResultOk) return result;
        add.urlEncoded = v.urlEncoded;
        add.urlUtf8 = v.urlUtf8;
        add.user = v.urlUser;
        add.password = v.urlPassword;
        return d.AddWebFtpItem(add);
    }
    case Command::GetPath: {
        std::string path;
        const int result = d.GetDefaultPath(path);
        if (result == client::kResultOk) out = v.json ? ctl::DefaultPathJson(path) : ctl::FormatLines({path});
        return result;
    }
    case Command::SetPath:
        return d.SetDefaultPath(v.path);
    case Command::Disks: {
        std::vector<std::string> disks;
        const int result = d.OpenRoot(disks);
        out = v.json ? ctl::ListJson("disks", disks) : ctl::FormatLines(disks);
        return result;
    }
    case Command::Folders: {
        std::vector<std::string> names;
        const int result = d.OpenSubCatalog(v.path, names);
        out = v.json ? ctl::ListJson("folders", names) : ctl::FormatLines(names);
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
    } catch (const ctl::UsageError& error) {
        return ctl::ReportUsage(error.message);
    }
    if (v.command == Command::Help) {
        ctl::Out(ctl::Usage());
        return ctl::kExitOk;
    }
    if (v.command == Command::Discover) return RunDiscover(v.waitMs, v.json);

    client::CDeviceClient device(std::make_shared<client::BlockingOperationHost>());
    // The credentials of the command line, never stored; a refused login ends the command.
    device.SetLoginHooks({std::make_shared<client::FixedLoginStore>(v.user, v.password), nullptr});
    int result = device.Connect(v.address, v.address);
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
    } catch (const std::exception& error) {
        ctl::Err(std::string("quarrowctl: ") + error.what() + "\n");
    } catch (...) {
        ctl::Err("quarrowctl: unexpected failure\n");
    }
    return ctl::kExitFailed;
}
