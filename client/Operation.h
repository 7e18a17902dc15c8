// The record of one device operation and the job that its worker thread runs.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "client/HttpTransport.h"
#include "client/LogIn.h"
#include "client/StatusTypes.h"
#include "common/Handle.h"

namespace client {

class CDeviceClient;

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
struct AddBtFileArg {
    std::string pcPath;
    HANDLE file = INVALID_HANDLE_VALUE;  // opened by the caller, read from its start
    std::string savePath;
    int priority = 0;
    std::string pcPathEncoded;  // pcPath percent-encoded for UTF-8, filled before the worker starts
};
struct AddBtUrlArg {
    std::string urlEncoded, urlUtf8, savePath;
    int priority = 0;
};
struct PathArg {
    std::string path;  // the path to set, or the server's default path read back
};
struct FolderListArg {
    std::string folder;               // the folder to list; empty for the disks
    std::vector<std::string> names;   // what the server listed
};
struct ConnectArg {
    std::string displayText, address;
    LoginHooks login;  // remembered credentials and the prompt
};

using OperationArgument = std::variant<std::monostate, SwitchArg, ItemKeyArg, PriorityArg, AddWebFtpArg, AddBtFileArg,
                                       AddBtUrlArg, ServerStatus, PathArg, FolderListArg, ConnectArg>;

// The caller's record; lives on the window thread's stack while the operation runs.
struct DeviceOperation {
    CDeviceClient* client = nullptr;
    void* dialog = nullptr;  // the wait dialog while it runs the operation
    OperationKind kind = OperationKind::RefreshStatus;
    OperationArgument* argument = nullptr;
    int result = 0;
};

class OperationJob;

// One row per operation: the argument record it takes, the status line the
// wait dialog shows, and what the worker does. Adding an operation is one row
// here and one request function.
struct OperationRow {
    OperationKind kind;
    UINT statusText;     // string ID shown while it runs
    UINT statusTextOff;  // for a service switch turned off; 0 for the others
    bool (*accepts)(const OperationArgument& argument);  // holds the row's argument record
    int (*execute)(OperationJob& job);                    // worker side; returns a result code
};

std::span<const OperationRow> OperationTable();
// The row of `kind`; nullptr for a kind without one.
const OperationRow* FindOperation(OperationKind kind);
// The status text to show for this operation on this argument.
UINT StatusTextOf(const OperationRow& row, const OperationArgument& argument);

// What the worker thread works on. It is reference-counted and owns copies of
// the inputs, so a worker that has been given up never touches the caller's
// record, the client or the dialog: the window thread copies the outputs back
// only for a job that finished.
class OperationJob {
public:
    OperationKind kind = OperationKind::RefreshStatus;
    OperationArgument argument;
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    std::shared_ptr<AbortSlot> abort = std::make_shared<AbortSlot>();
    win::Handle fileCopy;                  // torrent upload: duplicate of the caller's file
    win::InternetHandle newConnection;     // connect: the connection opened by the worker

    // Worker side: store the result and tell the host, unless given up.
    void Finish(int result);
    // Host side: give the job up with `result` unless it finished first. True when given up.
    bool GiveUp(int result);
    // Host side: where the worker posts WM_CLOSE when it finishes.
    void SetNotifyWindow(HWND window);
    bool Finished();
    bool Settled();
    int Result();
    HANDLE DoneEvent() const { return done_.Get(); }

    OperationJob();

private:
    std::mutex mutex_;
    HWND notify_ = nullptr;
    bool finished_ = false;
    bool abandoned_ = false;
    int result_ = 0;
    win::Handle done_;
};

// Starts the worker thread for a job; nullptr when no thread can be started.
HANDLE StartOperationThread(const std::shared_ptr<OperationJob>& job);

// Runs the job's row on the calling thread and returns its result code.
int ExecuteOperation(OperationJob& job);

// How an operation is carried out: behind the wait dialog in the program, on a
// plain worker in the console tool and in tests.
class IOperationHost {
public:
    virtual ~IOperationHost() = default;
    // Runs the job to its end or gives it up; the job's result is then final.
    virtual void Run(const std::shared_ptr<OperationJob>& job, UINT statusTextId) = 0;
};

// A host without a window: waits on the worker for at most `timeoutMs`.
class BlockingOperationHost : public IOperationHost {
public:
    explicit BlockingOperationHost(DWORD timeoutMs = 300000) : timeoutMs_(timeoutMs) {}
    void Run(const std::shared_ptr<OperationJob>& job, UINT statusTextId) override;

private:
    DWORD timeoutMs_;
};

}  // namespace client
