#include "DeviceClient.h"

#include "client/CSConvertor.h"
#include "client/ReplyCode.h"

namespace client {

CDeviceClient::CDeviceClient(std::shared_ptr<IOperationHost> host) : host_(std::move(host)) {
    // No agent string of our own: the program's name, as the framework would send it.
    session_.Attach(::InternetOpenA("Quarrow", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    ::InitializeCriticalSection(&lock_);
    DWORD noTimeout = 0xFFFFFFFF;
    if (session_) ::InternetSetOptionA(session_.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, &noTimeout, sizeof noTimeout);
}

CDeviceClient::~CDeviceClient() {
    connection_.Close();
    ::DeleteCriticalSection(&lock_);
    session_.Close();
}

int CDeviceClient::Run(DeviceOperation& operation) {
    operation.client = this;
    const OperationRow* row = FindOperation(operation.kind);
    if (!row || !operation.argument || !row->accepts(*operation.argument)) {
        operation.result = kResultUndefinedError;
        return operation.result;
    }
    if (operation.kind != OperationKind::Connect && !IsConnected()) {
        operation.result = kResultNotConnected;
        return operation.result;
    }
    auto job = std::make_shared<OperationJob>();
    job->kind = operation.kind;
    job->argument = *operation.argument;
    job->session = session_.Get();
    job->connection = connection_.Get();
    if (auto* add = std::get_if<AddBtFileArg>(&job->argument)) {
        // The worker reads its own duplicate, so a given-up worker never reads a
        // handle the caller has closed.
        HANDLE copy = nullptr;
        if (!::DuplicateHandle(::GetCurrentProcess(), add->file, ::GetCurrentProcess(), &copy, 0, FALSE,
                               DUPLICATE_SAME_ACCESS)) {
            operation.result = kResultCannotOpenFile;
            return operation.result;
        }
        job->fileCopy.Attach(copy);
        add->file = copy;
    }
    if (operation.kind == OperationKind::Connect) connection_.Close();

    {
        win::CriticalSectionLock hold(lock_);
        host_->Run(job, StatusTextOf(*row, job->argument));
    }

    operation.result = job->Result();
    if (job->Finished()) {
        if (operation.kind == OperationKind::Connect) {
            if (operation.result == kResultOk) connection_ = std::move(job->newConnection);
        } else {
            if (auto* add = std::get_if<AddBtFileArg>(&job->argument)) add->file = INVALID_HANDLE_VALUE;
            if (!std::holds_alternative<AddBtFileArg>(job->argument)) *operation.argument = std::move(job->argument);
        }
    }
    return operation.result;
}

template <typename Argument>
int CDeviceClient::RunOn(OperationKind kind, Argument& argument) {
    OperationArgument record = std::move(argument);
    DeviceOperation operation;
    operation.kind = kind;
    operation.argument = &record;
    Run(operation);
    if (auto* back = std::get_if<Argument>(&record)) argument = std::move(*back);
    return operation.result;
}

int CDeviceClient::SetBtEnable(int on) {
    SwitchArg arg{on};
    return RunOn(OperationKind::SetBtEnable, arg);
}

int CDeviceClient::SetBtPriority(const std::string& itemId, int priority) {
    PriorityArg arg{itemId, priority};
    return RunOn(OperationKind::SetBtPriority, arg);
}

int CDeviceClient::PauseBtItem(const std::string& itemId) {
    ItemKeyArg arg{itemId};
    return RunOn(OperationKind::PauseBtItem, arg);
}

int CDeviceClient::ResumeBtItem(const std::string& itemId) {
    ItemKeyArg arg{itemId};
    return RunOn(OperationKind::ResumeBtItem, arg);
}

int CDeviceClient::RemoveBtItem(const std::string& itemId) {
    ItemKeyArg arg{itemId};
    return RunOn(OperationKind::RemoveBtItem, arg);
}

int CDeviceClient::SetWebFtpEnable(int on) {
    SwitchArg arg{on};
    return RunOn(OperationKind::SetWebFtpEnable, arg);
}

int CDeviceClient::PauseWebFtpItem(const std::string& key) {
    ItemKeyArg arg{key};
    return RunOn(OperationKind::PauseWebFtpItem, arg);
}

int CDeviceClient::ResumeWebFtpItem(const std::string& key) {
    ItemKeyArg arg{key};
    return RunOn(OperationKind::ResumeWebFtpItem, arg);
}

int CDeviceClient::RemoveWebFtpItem(const std::string& key) {
    ItemKeyArg arg{key};
    return RunOn(OperationKind::RemoveWebFtpItem, arg);
}

int CDeviceClient::AddWebFtpItem(const AddWebFtpArg& item) {
    AddWebFtpArg arg = item;
    return RunOn(OperationKind::AddWebFtpItem, arg);
}

int CDeviceClient::AddBtItemFromFile(const std::string& pcPath, HANDLE file, const std::string& savePath,
                                     int priority) {
    AddBtFileArg arg{pcPath, file, savePath, priority,
                     CCSConvertor::EncodeForCodePage(pcPath, CCSConvertor::GetUtf8CodePage())};
    return RunOn(OperationKind::AddBtItemFromFile, arg);
}

int CDeviceClient::AddBtItemFromUrl(const AddBtUrlArg& item) {
    AddBtUrlArg arg = item;
    return RunOn(OperationKind::AddBtItemFromUrl, arg);
}

int CDeviceClient::RefreshStatus(ServerStatus& status) {
    ServerStatus fresh;
    int result = RunOn(OperationKind::RefreshStatus, fresh);
    status = std::move(fresh);
    return result;
}

int CDeviceClient::SetDefaultPath(const std::string& path) {
    PathArg arg{path};
    return RunOn(OperationKind::SetDefaultPath, arg);
}

int CDeviceClient::GetDefaultPath(std::string& path) {
    PathArg arg{path};
    int result = RunOn(OperationKind::GetDefaultPath, arg);
    path = std::move(arg.path);
    return result;
}

int CDeviceClient::Connect(const std::string& displayText, const std::string& address) {
    ConnectArg arg{displayText, address, login_};
    return RunOn(OperationKind::Connect, arg);
}

int CDeviceClient::OpenRoot(std::vector<std::string>& disks) {
    FolderListArg arg;
    int result = RunOn(OperationKind::OpenRoot, arg);
    disks.insert(disks.end(), arg.names.begin(), arg.names.end());
    return result;
}

int CDeviceClient::OpenSubCatalog(const std::string& folder, std::vector<std::string>& folders) {
    FolderListArg arg{folder, {}};
    int result = RunOn(OperationKind::OpenSubCatalog, arg);
    folders.insert(folders.end(), arg.names.begin(), arg.names.end());
    return result;
}

void CDeviceClient::Disconnect() {
    win::CriticalSectionLock lock(lock_);
    connection_.Close();
}

}  // namespace client
