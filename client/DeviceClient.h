// The device client: the HTTP session with the storage server, the open
// connection, and the entry point that runs an operation of the table. It runs
// on the window thread and returns a result code (0 or the ID of the message
// to show).
#pragma once
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "client/Operation.h"
#include "common/Handle.h"

namespace client {

class CDeviceClient {
public:
    // `host` carries out the operations; the program passes its wait-dialog host.
    explicit CDeviceClient(std::shared_ptr<IOperationHost> host);
    ~CDeviceClient();
    CDeviceClient(const CDeviceClient&) = delete;
    CDeviceClient& operator=(const CDeviceClient&) = delete;

    bool IsConnected() const { return connection_ != nullptr; }
    // Closes the connection; every operation but Connect then answers 5501.
    void Disconnect();

    // Every operation: `Run(OperationKind::PauseBtItem, ItemKeyArg{itemId})`.
    // Runs it behind its status text and returns its result code; an
    // argument record passed as a variable receives the outputs of an
    // operation that finished (the status, the default path, the folders).
    template <typename Argument>
    int Run(OperationKind kind, Argument&& argument);

    // Remembered credentials and the prompt for the logins to come.
    void SetLoginHooks(LoginHooks hooks) { login_ = std::move(hooks); }

    // Starts connecting to `connect.address` with the remembered credentials,
    // and the status refresh after that, now: on a thread of their own and
    // without a wait dialog, while the window is still being built. The next
    // Run of Connect with the same argument, and the RefreshStatus right after
    // it, take these jobs over (behind the wait dialog while they still run)
    // instead of starting their own. A login that needs the prompt, a refresh
    // that failed, and any other operation run as always.
    void StartAhead(const ConnectArg& connect);
    // True once both jobs started ahead have succeeded: the first Connect and
    // refresh will neither wait nor ask.
    bool AheadReady() const;

private:
    struct Ahead;
    // Runs `kind` on `argument`, which holds the outputs afterwards.
    int RunRecord(OperationKind kind, OperationArgument& argument);
    // The host runs the job (or waits for one already `running`) while this
    // thread holds the client.
    void Host(const OperationRow& row, const std::shared_ptr<DeviceOperation>& job, bool running);
    // A finished job's outputs into `argument` (and the connection a login
    // opened); returns its result code.
    int TakeOutputs(const OperationRow& row, DeviceOperation& job, OperationArgument& argument);
    // The job started ahead for this operation, or nullptr; anything else
    // drops what was started ahead.
    std::shared_ptr<DeviceOperation> TakeAhead(const OperationRow& row, const OperationArgument& argument);
    // Waits for a job taken over and takes its outputs as RunRecord does. False
    // when the operation is to be run as always after all.
    bool FinishAhead(const OperationRow& row, const std::shared_ptr<DeviceOperation>& job,
                     OperationArgument& argument, int& result);
    void DropAhead();

    SharedInternetHandle session_;
    SharedInternetHandle connection_;
    std::string authorization_;  // sent from the first request on once the connection authenticated
    win::CriticalSection lock_;
    std::atomic<DWORD> lockOwner_{0};  // thread that runs an operation now, 0 for none
    std::shared_ptr<IOperationHost> host_;
    LoginHooks login_;
    std::unique_ptr<Ahead> ahead_;
};

template <typename Argument>
int CDeviceClient::Run(OperationKind kind, Argument&& argument) {
    using Record = std::remove_cvref_t<Argument>;
    OperationArgument record{std::in_place_type<Record>, std::forward<Argument>(argument)};
    const int result = RunRecord(kind, record);
    if constexpr (std::is_lvalue_reference_v<Argument> && !std::is_const_v<std::remove_reference_t<Argument>>) {
        if (auto* back = std::get_if<Record>(&record)) argument = std::move(*back);
    }
    return result;
}

}  // namespace client
