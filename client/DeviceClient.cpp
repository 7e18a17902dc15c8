#include "DeviceClient.h"

#include "client/CSConvertor.h"
#include "client/ReplyCode.h"

namespace client {

namespace {

// Status texts shown while an operation runs (string-table IDs).
enum StatusText : UINT {
    kStatusAddBt = 107,
    kStatusAddWebFtp = 108,
    kStatusRefresh = 109,
    kStatusEnableBt = 110,
    kStatusDisableBt = 111,
    kStatusEnableWebFtp = 112,
    kStatusDisableWebFtp = 113,
    kStatusBtPriority = 114,
    kStatusPauseBt = 115,
    kStatusResumeBt = 116,
    kStatusRemoveBt = 117,
    kStatusPauseWebFtp = 118,
    kStatusResumeWebFtp = 119,
    kStatusRemoveWebFtp = 120,
    kStatusSetDefaultPath = 138,
    kStatusConnecting = 139,
    kStatusGetDefaultPath = 140,
    kStatusFolders = 141,
};

}  // namespace

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

int CDeviceClient::Run(DeviceOperation& operation, UINT statusTextId) {
    operation.client = this;
    if (operation.kind != OperationKind::Connect && !IsConnected()) {
        operation.result = kResultNotConnected;
        return operation.result;
    }
    auto job = std::make_shared<OperationJob>();
    job->kind = operation.kind;
    if (operation.argument) job->argument = *operation.argument;
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
        host_->Run(job, statusTextId);
    }

    operation.result = job->Result();
    if (job->Finished()) {
        if (operation.kind == OperationKind::Connect) {
            if (operation.result == kResultOk) connection_ = std::move(job->newConnection);
        } else if (operation.argument) {
            if (auto* add = std::get_if<AddBtFileArg>(&job->argument)) add->file = INVALID_HANDLE_VALUE;
            if (!std::holds_alternative<AddBtFileArg>(job->argument)) *operation.argument = std::move(job->argument);
        }
    }
    return operation.result;
}

int CDeviceClient::RunKind(OperationKind kind, OperationArgument& argument, UINT statusTextId) {
    DeviceOperation operation;
    operation.kind = kind;
    operation.argument = &argument;
    return Run(operation, statusTextId);
}

int CDeviceClient::SetBtEnable(int on) {
    OperationArgument arg = on;
    return RunKind(OperationKind::SetBtEnable, arg, on ? kStatusEnableBt : kStatusDisableBt);
}

int CDeviceClient::SetBtPriority(const std::string& itemId, int priority) {
    OperationArgument arg = PriorityArg{itemId, priority};
    return RunKind(OperationKind::SetBtPriority, arg, kStatusBtPriority);
}

int CDeviceClient::PauseBtItem(const std::string& itemId) {
    OperationArgument arg = ItemKeyArg{itemId};
    return RunKind(OperationKind::PauseBtItem, arg, kStatusPauseBt);
}

int CDeviceClient::ResumeBtItem(const std::string& itemId) {
    OperationArgument arg = ItemKeyArg{itemId};
    return RunKind(OperationKind::ResumeBtItem, arg, kStatusResumeBt);
}

int CDeviceClient::RemoveBtItem(const std::string& itemId) {
    OperationArgument arg = ItemKeyArg{itemId};
    return RunKind(OperationKind::RemoveBtItem, arg, kStatusRemoveBt);
}

int CDeviceClient::SetWebFtpEnable(int on) {
    OperationArgument arg = on;
    return RunKind(OperationKind::SetWebFtpEnable, arg, on ? kStatusEnableWebFtp : kStatusDisableWebFtp);
}

int CDeviceClient::PauseWebFtpItem(const std::string& key) {
    OperationArgument arg = ItemKeyArg{key};
    return RunKind(OperationKind::PauseWebFtpItem, arg, kStatusPauseWebFtp);
}

int CDeviceClient::ResumeWebFtpItem(const std::string& key) {
    OperationArgument arg = ItemKeyArg{key};
    return RunKind(OperationKind::ResumeWebFtpItem, arg, kStatusResumeWebFtp);
}

int CDeviceClient::RemoveWebFtpItem(const std::string& key) {
    OperationArgument arg = ItemKeyArg{key};
    return RunKind(OperationKind::RemoveWebFtpItem, arg, kStatusRemoveWebFtp);
}

int CDeviceClient::AddWebFtpItem(const AddWebFtpArg& item) {
    OperationArgument arg = item;
    return RunKind(OperationKind::AddWebFtpItem, arg, kStatusAddWebFtp);
}

int CDeviceClient::AddBtItemFromFile(const std::string& pcPath, HANDLE file, const std::string& savePath,
                                     int priority) {
    AddBtFileArg add;
    add.pcPath = pcPath;
    add.file = file;
    add.savePath = savePath;
    add.priority = priority;
    add.pcPathEncoded = CCSConvertor::EncodeForCodePage(pcPath, CCSConvertor::GetUtf8CodePage());
    OperationArgument arg = std::move(add);
    return RunKind(OperationKind::AddBtItemFromFile, arg, kStatusAddBt);
}

int CDeviceClient::AddBtItemFromUrl(const AddBtUrlArg& item) {
    OperationArgument arg = item;
    return RunKind(OperationKind::AddBtItemFromUrl, arg, kStatusAddBt);
}

int CDeviceClient::RefreshStatus(ServerStatus& status) {
    OperationArgument arg = ServerStatus{};
    int result = RunKind(OperationKind::RefreshStatus, arg, kStatusRefresh);
    if (auto* filled = std::get_if<ServerStatus>(&arg)) status = std::move(*filled);
    return result;
}

int CDeviceClient::SetDefaultPath(const std::string& path) {
    OperationArgument arg = PathArg{path};
    return RunKind(OperationKind::SetDefaultPath, arg, kStatusSetDefaultPath);
}

int CDeviceClient::GetDefaultPath(std::string& path) {
    OperationArgument arg = PathArg{path};
    int result = RunKind(OperationKind::GetDefaultPath, arg, kStatusGetDefaultPath);
    if (auto* got = std::get_if<PathArg>(&arg)) path = got->path;
    return result;
}

int CDeviceClient::Connect(const std::string& displayText, const std::string& address, const std::string& user,
                           const std::string& password) {
    OperationArgument arg = ConnectArg{displayText, address, user, password};
    return RunKind(OperationKind::Connect, arg, kStatusConnecting);
}

int CDeviceClient::OpenRoot(std::vector<std::string>& disks) {
    OperationArgument arg = FolderListArg{};
    int result = RunKind(OperationKind::OpenRoot, arg, kStatusFolders);
    if (auto* list = std::get_if<FolderListArg>(&arg))
        disks.insert(disks.end(), list->names.begin(), list->names.end());
    return result;
}

int CDeviceClient::OpenSubCatalog(const std::string& folder, std::vector<std::string>& folders) {
    OperationArgument arg = FolderListArg{folder, {}};
    int result = RunKind(OperationKind::OpenSubCatalog, arg, kStatusFolders);
    if (auto* list = std::get_if<FolderListArg>(&arg))
        folders.insert(folders.end(), list->names.begin(), list->names.end());
    return result;
}

void CDeviceClient::Disconnect() {
    win::CriticalSectionLock lock(lock_);
    connection_.Close();
}

}  // namespace client
