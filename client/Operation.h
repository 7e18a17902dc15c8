// Device operations: their kinds and argument records, the table row of each,
// the record that a worker thread runs, and the hosts that run it.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "client/HttpTransport.h"
#include "client/LogIn.h"
#include "client/StatusTypes.h"

namespace client {

enum class OperationKind : int {
    SetBtEnable = 1,
    SetBtPriority = 2,
    PauseBtItem = 3,
    ResumeBtItem = 4,
    RemoveBtItem = 5,
    SetWebFtpEnable = 6,
    PauseWebFtpItem = 7,
    ResumeWebFtpItem = 8,
    RemoveWebFtpItem = 9,
    AddWebFtpItem = 10,
    AddBtItemFromFile = 11,
    AddBtItemFromUrl = 12,
    RefreshStatus = 13,
    SetDefaultPath = 14,
    GetDefaultPath = 15,
    Connect = 16,
    OpenRoot = 17,
    OpenSubCatalog = 18,
};

// Argument records: what each operation carries in and, for the lookups, out.
struct SwitchArg {
    int on = 0;  // 1 switches the service on, 0 off
};
struct ItemKeyArg {
    std::string key;
};
struct PriorityArg {
    std::string key;
    int priority = 0;  // 1 High, 0 Normal, -1 Low
};
struct AddWebFtpArg {
    std::string urlEncoded, urlUtf8, savePath, user, password;
};
// An open file shared by the caller and the worker that reads it: it stays
// open until both have let go, so a worker that was given up never reads a
// handle that the caller has closed meanwhile.
using SharedFile = std::shared_ptr<void>;
// Opens a torrent file on the PC for its upload; empty when it cannot be read.
SharedFile OpenTorrentFile(const std::string& pcPath);
struct AddBtFileArg {
    std::string pcPath;
    SharedFile file;  // from OpenTorrentFile, read from its start
    std::string savePath;
    int priority = 0;
};
struct AddBtUrlArg {
    std::string urlEncoded, urlUtf8, savePath;
    int priority = 0;
};
struct PathArg {
    std::string path;  // the path to set, or the server's default path read back
};
struct FolderListArg {
    std::string folder;              // the folder to list; empty for the disks
    std::vector<std::string> names;  // what the server listed
};
struct ConnectArg {
    std::string displayText, address;
};

using OperationArgument = std::variant<std::monostate, SwitchArg, ItemKeyArg, PriorityArg, AddWebFtpArg, AddBtFileArg,
                                       AddBtUrlArg, ServerStatus, PathArg, FolderListArg, ConnectArg>;

class DeviceOperation;

// One row per operation, in OperationTable.cpp: the argument record it takes,
// the status line the wait dialog shows, and what the worker does. Adding an
// operation is its kind above, its row there and its request function (and
// the string of its status line, unless it shares one).
struct OperationRow {
    OperationKind kind;
    UINT statusText;                                     // string ID shown while it runs
    UINT statusTextOff;                                  // for a service switch turned off; 0 for the others
    bool logsIn;                                         // runs without a connection and replaces the client's one
    bool (*accepts)(const OperationArgument& argument);  // holds the row's argument record
    int (*execute)(DeviceOperation& operation);          // worker side; returns a result code
};

std::span<const OperationRow> OperationTable();
// The row of `kind`; nullptr for a kind without one.
const OperationRow* FindOperation(OperationKind kind);
// The status text to show for this operation on this argument.
UINT StatusTextOf(const OperationRow& row, const OperationArgument& argument);

// How long a host waits for an operation before giving it up.
inline constexpr DWORD kOperationTimeoutMs = 300000;

// Posted to the host's window when the worker has finished the operation.
inline constexpr UINT WM_OPERATION_FINISHED = WM_APP + 0x40;

// The record of one operation, as its worker works on it. It is
// reference-counted and owns copies of the inputs and shares of the session
// and connection, so a worker that has been given up never touches the
// caller's record, the client or the dialog, and the handles it uses stay open
// until it ends: the window thread copies the outputs back only for an
// operation that finished.
class DeviceOperation {
public:
    const OperationRow* row = nullptr;
    OperationArgument argument;
    SharedInternetHandle session;
    SharedInternetHandle connection;
    std::shared_ptr<GiveUpFlag> givenUp = std::make_shared<GiveUpFlag>();
    LoginHooks login;                    // logging in: remembered credentials and the prompt
    SharedInternetHandle newConnection;  // logging in: the connection opened by the worker
    std::string authorization;           // credentials the connection authenticated with (see RequestContext)

    RequestContext Context() const { return {static_cast<HINTERNET>(connection.get()), givenUp, authorization}; }

    // Worker side: store the result and tell the host, unless given up. False
    // when the job had been given up.
    bool Finish(int result);
    // Host side: give the job up with `result` unless it finished first. True when given up.
    bool GiveUp(int result);
    // Host side: where the worker posts WM_OPERATION_FINISHED when it finishes.
    void SetNotifyWindow(HWND window);
    bool Finished();
    int Result();
    // Host side: waits until the job finished or was given up, at most `ms`. True when it was.
    bool WaitSettled(DWORD ms);
    // Host side: waits until a worker that finished the job has let go of it,
    // so that no worker still holds the job as the process ends (a given-up
    // worker is not waited for).
    void WaitReleased();
    // Worker side, its last touch of the job, after dropping its own reference.
    void MarkReleased();

private:
    // In-process locking and waiting (no kernel objects): every operation
    // passes through them, and under Wine a kernel event costs a round trip to
    // the wine server for each set and wait.
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE changed_ = CONDITION_VARIABLE_INIT;
    HWND notify_ = nullptr;
    bool finished_ = false;
    bool abandoned_ = false;
    bool released_ = false;
    int result_ = 0;
};

// Hands the job to a worker thread: an idle one kept from an earlier
// operation, or a new one. False when no thread can be started.
bool StartOperationWorker(const std::shared_ptr<DeviceOperation>& job);

// Runs the operation's row on the calling thread and returns its result code.
int ExecuteOperation(DeviceOperation& operation);

// Runs `connect` and then, once it has connected, `status` on the connection
// it opened, on a thread of their own (with COM, as a worker); `status` is
// given up when `connect` did not connect. False when no thread can be started.
bool StartConnectAndStatus(std::shared_ptr<DeviceOperation> connect, std::shared_ptr<DeviceOperation> status);

// Waits at most `ms` for a job that runs on a thread of its own, gives it up
// after that, and waits until a worker that finished it has let go of it.
void AwaitJob(DeviceOperation& job, DWORD ms);

// How an operation is carried out: behind the wait dialog in the program, on a
// plain worker in the console tool and in tests.
class IOperationHost {
public:
    virtual ~IOperationHost() = default;
    // Runs the job to its end or gives it up; the job's result is then final.
    virtual void Run(const std::shared_ptr<DeviceOperation>& job, UINT statusTextId) = 0;
    // The same for a job that already runs on a thread of its own.
    virtual void Await(const std::shared_ptr<DeviceOperation>& job, UINT statusTextId);
};

// A host without a window: waits on the worker for at most `timeoutMs`.
class BlockingOperationHost : public IOperationHost {
public:
    explicit BlockingOperationHost(DWORD timeoutMs = kOperationTimeoutMs) : timeoutMs_(timeoutMs) {}
    void Run(const std::shared_ptr<DeviceOperation>& job, UINT statusTextId) override;
    void Await(const std::shared_ptr<DeviceOperation>& job, UINT statusTextId) override;

private:
    DWORD timeoutMs_;
};

}  // namespace client
