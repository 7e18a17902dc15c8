#include "DeviceClient.h"

#include "client/ReplyCode.h"

namespace client {

CDeviceClient::CDeviceClient(std::shared_ptr<IOperationHost> host) : host_(std::move(host)) {
    // No agent string of our own: the program's name, as the framework would send it.
    session_ = ShareInternetHandle(::InternetOpenA("Quarrow", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    DWORD noTimeout = 0xFFFFFFFF;
    if (session_) ::InternetSetOptionA(session_.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &noTimeout, sizeof noTimeout);
}

// A worker still running after a give-up keeps its own shares of the session
// and the connection; they close when it ends.
CDeviceClient::~CDeviceClient() {
    connection_.reset();
    session_.reset();
}

int CDeviceClient::RunRecord(OperationKind kind, OperationArgument& argument) {
    // The lock is re-entrant, but an operation must not start inside another
    // one on the same thread (a message handled by the wait dialog's loop):
    // both would use the connection at once. Other threads wait their turn.
    if (lockOwner_ == ::GetCurrentThreadId()) return kResultBusy;
    const OperationRow* row = FindOperation(kind);
    if (!row || !row->accepts(argument)) return kResultUndefinedError;
    if (!row->logsIn && !IsConnected()) return kResultNotConnected;
    if (row->logsIn) {
        connection_.reset();
        authorization_.clear();
    }
    auto operation = std::make_shared<DeviceOperation>();
    operation->row = row;
    operation->argument = argument;
    operation->session = session_;
    operation->connection = connection_;
    operation->authorization = authorization_;
    operation->login = login_;

    {
        win::CriticalSectionLock hold(lock_);
        lockOwner_ = ::GetCurrentThreadId();
        host_->Run(operation, StatusTextOf(*row, operation->argument));
        lockOwner_ = 0;
    }

    const int result = operation->Result();
    if (operation->Finished()) {
        argument = std::move(operation->argument);
        if (row->logsIn && result == kResultOk) {
            connection_ = std::move(operation->newConnection);
            authorization_ = std::move(operation->authorization);
        }
    }
    return result;
}

void CDeviceClient::Disconnect() {
    win::CriticalSectionLock lock(lock_);
    connection_.reset();
    authorization_.clear();
}

}  // namespace client
