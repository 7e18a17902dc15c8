// The worker's dispatch: one request function per operation kind.
#include "client/AddRequests.h"
#include "client/ReplyCode.h"
#include "client/Requests.h"

namespace client {

int ConnectOperation(OperationJob& job, const ConnectArg& arg) {
    win::InternetHandle connection(::InternetConnectA(job.session, arg.address.c_str(), INTERNET_DEFAULT_HTTP_PORT,
                                                      arg.user.c_str(), arg.password.c_str(),
                                                      INTERNET_SERVICE_HTTP, 0, 1));
    if (!connection) return kResultConnectError;
    RequestContext ctx{connection.Get(), job.abort};
    DWORD status = ProbeStatusPage(ctx);
    if (status == 0 || status == 404) return kResultConnectError;
    // Until the login dialog exists, a refused login counts as a cancelled prompt.
    if (status == 401) return kResultNotConnected;
    job.newConnection = std::move(connection);
    return kResultOk;
}

int ExecuteOperation(OperationJob& job) {
    RequestContext ctx{job.connection, job.abort};
    OperationArgument& arg = job.argument;
    auto text = [&]() -> const std::string& { return std::get<ItemKeyArg>(arg).key; };
    switch (job.kind) {
    case OperationKind::SetBtEnable:
        return MapReplyCode(RequestSetBtEnable(ctx, std::get<int>(arg)));
    case OperationKind::SetBtPriority: {
        const auto& p = std::get<PriorityArg>(arg);
        return MapReplyCode(RequestSetBtPriority(ctx, p.key, p.priority));
    }
    case OperationKind::PauseBtItem:
    case OperationKind::ResumeBtItem:
    case OperationKind::RemoveBtItem:
        return MapReplyCode(RequestBtItemAction(ctx, job.kind, text()));
    case OperationKind::SetWebFtpEnable:
        return MapReplyCode(RequestSetWebFtpEnable(ctx, std::get<int>(arg)));
    case OperationKind::PauseWebFtpItem:
    case OperationKind::ResumeWebFtpItem:
    case OperationKind::RemoveWebFtpItem:
        return MapReplyCode(RequestWebFtpItemAction(ctx, job.kind, text()));
    case OperationKind::AddWebFtpItem:
        return MapReplyCode(RequestAddWebFtpItem(ctx, std::get<AddWebFtpArg>(arg)));
    case OperationKind::AddBtItemFromFile: {
        // A torrent that could not be read into memory was never sent: report it like an unopenable file.
        std::string code = RequestAddBtItemFromFile(ctx, std::get<AddBtFileArg>(arg));
        return code == kReplyTorrentRefused ? kResultCannotOpenFile : MapReplyCode(code);
    }
    case OperationKind::AddBtItemFromUrl:
        return MapReplyCode(RequestAddBtItemFromUrl(ctx, std::get<AddBtUrlArg>(arg)));
    case OperationKind::RefreshStatus:
        return RefreshStatusOperation(ctx, std::get<ServerStatus>(arg));
    case OperationKind::SetDefaultPath:
        return MapReplyCode(RequestSetDefaultPath(ctx, std::get<PathArg>(arg).path));
    case OperationKind::GetDefaultPath:
        return MapReplyCode(RequestGetDefaultPath(ctx, std::get<PathArg>(arg).path));
    case OperationKind::Connect:
        return ConnectOperation(job, std::get<ConnectArg>(arg));
    case OperationKind::OpenRoot: {
        auto& list = std::get<FolderListArg>(arg);
        int result = MapReplyCode(RequestOpenRoot(ctx, list.names));
        return result == kResultOk && list.names.empty() ? kResultNoDisk : result;
    }
    case OperationKind::OpenSubCatalog: {
        auto& list = std::get<FolderListArg>(arg);
        return MapReplyCode(RequestOpenSubCatalog(ctx, list.folder, list.names));
    }
    }
    return kResultUndefinedError;
}

}  // namespace client
