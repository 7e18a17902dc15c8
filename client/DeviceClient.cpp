#include "DeviceClient.h"

#include "client/ReplyCode.h"

namespace client {

CDeviceClient::CDeviceClient(std::shared_ptr<IOperationHost> host) : host_(std::move(host)) {
    // No agent string of our own: the program's name, as the framework would send it.
    session_ = ShareInternetHandle(::InternetOpenA("Quarrow", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    DWORD noTimeout = 0xFFFFFFFF;
    if (session_) ::InternetSetOptionA(session_.get(), INTERNET_OPTION_CONNECT_TIMEOUT, &noTimeout, sizeof noTimeout);
}

struct CDeviceClient::Ahead {
    ConnectArg connect;
    std::shared_ptr<DeviceOperation> connectJob, statusJob;
    std::shared_ptr<std::atomic<bool>> promptWanted = std::make_shared<std::atomic<bool>>(false);
    bool connected = false;  // the connect job was taken over and connected
};

// A worker still running after a give-up keeps its own shares of the session
// and the connection; they close when it ends.
CDeviceClient::~CDeviceClient() {
    DropAhead();
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
    if (auto job = TakeAhead(*row, argument)) {
        int result = kResultOk;
        if (FinishAhead(*row, job, argument, result)) return result;
    }
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

    Host(*row, operation, false);
    return TakeOutputs(*row, *operation, argument);
}

void CDeviceClient::Host(const OperationRow& row, const std::shared_ptr<DeviceOperation>& job, bool running) {
    win::CriticalSectionLock hold(lock_);
    lockOwner_ = ::GetCurrentThreadId();
    if (!running)
        host_->Run(job, StatusTextOf(row, job->argument));
    else if (job->Finished())
        job->WaitReleased();
    else
        host_->Await(job, StatusTextOf(row, job->argument));
    lockOwner_ = 0;
}

int CDeviceClient::TakeOutputs(const OperationRow& row, DeviceOperation& job, OperationArgument& argument) {
    const int result = job.Result();
    if (job.Finished()) {
        argument = std::move(job.argument);
        if (row.logsIn && result == kResultOk) {
            connection_ = std::move(job.newConnection);
            authorization_ = std::move(job.authorization);
        }
    }
    return result;
}

void CDeviceClient::StartAhead(const ConnectArg& connect) {
    DropAhead();
    const OperationRow* connectRow = FindOperation(OperationKind::Connect);
    const OperationRow* statusRow = FindOperation(OperationKind::RefreshStatus);
    if (!session_ || !connectRow || !statusRow || connect.address.empty()) return;
    auto ahead = std::make_unique<Ahead>();
    ahead->connect = connect;
    ahead->connectJob = std::make_shared<DeviceOperation>();
    ahead->connectJob->row = connectRow;
    ahead->connectJob->argument = connect;
    ahead->connectJob->session = session_;
    // The remembered credentials only: a login refused with them is left to
    // the Connect that can ask the user.
    ahead->connectJob->login.store = login_.store;
    ahead->connectJob->login.prompt = [wanted = ahead->promptWanted](const std::string&, std::function<bool()>) {
        *wanted = true;
        return std::unique_ptr<ILoginPrompt>();
    };
    ahead->statusJob = std::make_shared<DeviceOperation>();
    ahead->statusJob->row = statusRow;
    ahead->statusJob->argument = ServerStatus{};
    ahead->statusJob->session = session_;
    if (StartConnectAndStatus(ahead->connectJob, ahead->statusJob)) ahead_ = std::move(ahead);
}

bool CDeviceClient::AheadReady() const {
    if (!ahead_ || !ahead_->connectJob || !ahead_->statusJob) return false;
    for (const auto& job : {ahead_->connectJob, ahead_->statusJob})
        if (!job->Finished() || job->Result() != kResultOk) return false;
    return true;
}

std::shared_ptr<DeviceOperation> CDeviceClient::TakeAhead(const OperationRow& row, const OperationArgument& argument) {
    if (!ahead_) return nullptr;
    std::shared_ptr<DeviceOperation> job;
    if (row.kind == OperationKind::Connect && ahead_->connectJob) {
        const auto* connect = std::get_if<ConnectArg>(&argument);
        if (connect && connect->address == ahead_->connect.address &&
            connect->displayText == ahead_->connect.displayText)
            job = std::move(ahead_->connectJob);
    } else if (row.kind == OperationKind::RefreshStatus && ahead_->connected && IsConnected()) {
        job = std::move(ahead_->statusJob);
    }
    if (!job) DropAhead();
    return job;
}

bool CDeviceClient::FinishAhead(const OperationRow& row, const std::shared_ptr<DeviceOperation>& job,
                                OperationArgument& argument, int& result) {
    Host(row, job, true);
    if (row.kind == OperationKind::Connect) {
        if (*ahead_->promptWanted) {
            DropAhead();
            return false;
        }
        connection_.reset();
        authorization_.clear();
        result = TakeOutputs(row, *job, argument);
        ahead_->connected = IsConnected();
        if (!ahead_->connected) DropAhead();
        return true;
    }
    // The refresh on the connection taken over; a failed one runs again.
    const bool taken =
        job->Finished() && job->Result() == kResultOk && job->connection.get() == connection_.get();
    if (taken) result = TakeOutputs(row, *job, argument);
    DropAhead();
    return taken;
}

void CDeviceClient::DropAhead() {
    if (!ahead_) return;
    for (auto* job : {&ahead_->connectJob, &ahead_->statusJob})
        if (*job && !(*job)->GiveUp(kResultNotConnected)) (*job)->WaitReleased();
    ahead_.reset();
}

void CDeviceClient::Disconnect() {
    win::CriticalSectionLock lock(lock_);
    connection_.reset();
    authorization_.clear();
}

}  // namespace client
