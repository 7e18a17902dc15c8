// The operation table: for every operation its argument record, the status
// line shown while it runs and the function the worker calls. An operation is
// one row here and one request function.
#include <iterator>
#include <type_traits>

#include "client/AddRequests.h"
#include "client/ControlRequests.h"
#include "client/FolderRequests.h"
#include "client/ReplyCode.h"
#include "client/StatusRequest.h"
#include "common/Marks.h"

namespace client {

namespace {

// The argument record a request function takes: the type of its second parameter.
template <typename F>
struct RequestSignature;
template <typename R, typename Context, typename Arg>
struct RequestSignature<R (*)(Context&, Arg&)> {
    using Result = R;
    using Argument = std::remove_const_t<Arg>;
    static constexpr bool kTakesOperation = std::is_same_v<Context, DeviceOperation>;
};

// Calls the request function on the operation's argument record. A reply code is
// mapped to its result code; a function that judges more returns one itself.
template <auto Request>
int Execute(DeviceOperation& operation) {
    using Signature = RequestSignature<decltype(Request)>;
    auto& argument = std::get<typename Signature::Argument>(operation.argument);
    typename Signature::Result outcome;
    if constexpr (Signature::kTakesOperation) {
        outcome = Request(operation, argument);
    } else {
        RequestContext ctx = operation.Context();
        outcome = Request(ctx, argument);
    }
    if constexpr (std::is_same_v<typename Signature::Result, std::string>)
        return MapReplyCode(outcome);
    else
        return outcome;
}

// The login loop (LogIn) on the worker: returns a result code; on success
// `operation.newConnection` holds the connection.
int ConnectOperation(DeviceOperation& operation, ConnectArg& arg) {
    win::Mark("login probe");
    return ConnectResult(LogIn(arg.displayText, arg.address, static_cast<HINTERNET>(operation.session.get()),
                               operation.givenUp, operation.login, operation.newConnection, operation.authorization));
}

enum Connection : bool { kOnConnection = false, kLogsIn = true };

template <auto Request>
constexpr OperationRow Row(OperationKind kind, UINT statusText, UINT statusTextOff = 0,
                           Connection connection = kOnConnection) {
    using Argument = typename RequestSignature<decltype(Request)>::Argument;
    return {kind,
            statusText,
            statusTextOff,
            connection == kLogsIn,
            [](const OperationArgument& argument) { return std::holds_alternative<Argument>(argument); },
            &Execute<Request>};
}

using K = OperationKind;
// Status lines are string IDs from the program's resource header.
constexpr OperationRow kOperations[] = {
    Row<&RequestSetBtEnable>(K::SetBtEnable, IDS_STATUS_ENABLE_BT, IDS_STATUS_DISABLE_BT),
    Row<&RequestSetBtPriority>(K::SetBtPriority, IDS_STATUS_SET_BT_PRIORITY),
    Row<&RequestPauseBtItem>(K::PauseBtItem, IDS_STATUS_PAUSE_BT),
    Row<&RequestResumeBtItem>(K::ResumeBtItem, IDS_STATUS_RESUME_BT),
    Row<&RequestRemoveBtItem>(K::RemoveBtItem, IDS_STATUS_REMOVE_BT),
    Row<&RequestSetWebFtpEnable>(K::SetWebFtpEnable, IDS_STATUS_ENABLE_WEBFTP, IDS_STATUS_DISABLE_WEBFTP),
    Row<&RequestPauseWebFtpItem>(K::PauseWebFtpItem, IDS_STATUS_PAUSE_WEBFTP),
    Row<&RequestResumeWebFtpItem>(K::ResumeWebFtpItem, IDS_STATUS_RESUME_WEBFTP),
    Row<&RequestRemoveWebFtpItem>(K::RemoveWebFtpItem, IDS_STATUS_REMOVE_WEBFTP),
    Row<&RequestAddWebFtpItem>(K::AddWebFtpItem, IDS_STATUS_ADD_WEBFTP),
    Row<&AddBtItemFromFileOperation>(K::AddBtItemFromFile, IDS_STATUS_ADD_BT),
    Row<&RequestAddBtItemFromUrl>(K::AddBtItemFromUrl, IDS_STATUS_ADD_BT),
    Row<&RefreshStatusOperation>(K::RefreshStatus, IDS_STATUS_GET_STATUS),
    Row<&RequestSetDefaultPath>(K::SetDefaultPath, IDS_STATUS_SET_DEFAULT_PATH),
    Row<&RequestGetDefaultPath>(K::GetDefaultPath, IDS_STATUS_GET_DEFAULT_PATH),
    Row<&ConnectOperation>(K::Connect, IDS_STATUS_CONNECTING, 0, kLogsIn),
    Row<&OpenRootOperation>(K::OpenRoot, IDS_STATUS_OPEN_FOLDER),
    Row<&RequestOpenSubCatalog>(K::OpenSubCatalog, IDS_STATUS_OPEN_FOLDER),
};

}  // namespace

std::span<const OperationRow> OperationTable() { return kOperations; }

const OperationRow* FindOperation(OperationKind kind) {
    for (const OperationRow& row : kOperations)
        if (row.kind == kind) return &row;
    return nullptr;
}

UINT StatusTextOf(const OperationRow& row, const OperationArgument& argument) {
    if (row.statusTextOff) {
        const auto* onOff = std::get_if<SwitchArg>(&argument);
        if (onOff && !onOff->on) return row.statusTextOff;
    }
    return row.statusText;
}

int ExecuteOperation(DeviceOperation& operation) {
    const OperationRow* row = operation.row;
    if (!row || !row->accepts(operation.argument)) return kResultUndefinedError;
    return row->execute(operation);
}

}  // namespace client
