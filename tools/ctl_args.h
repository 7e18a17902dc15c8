// quarrowctl's command line: everything one run needs, checked completely
// before anything is sent, so that a typo never leaves half a job behind.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace ctl {

// A mistake on the command line: the one line that says what is wrong. An
// empty message means no command was given at all.
struct UsageError {
    std::string message;
};

enum class Command {
    Help,
    Connect,
    Status,
    SetBt,
    SetWeb,
    Priority,
    Pause,
    Resume,
    Remove,
    AddTorrent,
    AddTorrentUrl,
    AddUrl,
    GetPath,
    SetPath,
    Disks,
    Folders,
    Discover,
};

enum class JobKind { Bt, Web };

struct Invocation {
    Command command = Command::Help;
    // The login, from the options or else the environment.
    std::string address, user, password;
    // Hidden options for the benchmark script: the command `repeat` times
    // after one login, and the process's peak memory at the end.
    int repeat = 0;
    bool reportMemory = false;
    // --json: the result as one JSON document (status, get-path, disks, folders, discover).
    bool json = false;

    int on = 0;                  // bt, web
    JobKind kind = JobKind::Bt;  // pause, resume, remove
    std::string itemId;          // priority; pause/resume/remove bt
    std::string webKey;          // pause/resume/remove web: the server's key of the job
    int priority = 0;            // priority, add-torrent, add-torrent-url: 1 high, 0 normal, -1 low
    std::string file;            // add-torrent: the full path on this PC
    bool hasSavePath = false;    // adds without --save go to the server's default path
    std::string savePath;
    std::string urlEncoded, urlUtf8;   // add-torrent-url, add-url
    std::string urlUser, urlPassword;  // add-url
    std::string path;                  // set-path, folders
    DWORD waitMs = 2000;               // discover
};

// What the environment supplies where the options are silent.
struct Defaults {
    std::string address, user, password;
};

// Parses the arguments after the program's name. `charsetFile` is the table
// that --charset names an entry of; it is read only when one is named.
// Throws UsageError.
Invocation ParseCommandLine(const std::vector<std::string>& args, const Defaults& defaults,
                            const std::string& charsetFile);

}  // namespace ctl
