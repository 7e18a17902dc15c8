// The operation table: for every operation its argument record, the status
// line shown while it runs and the function the worker calls.
#include <iterator>
#include <type_traits>

#include "client/AddRequests.h"
#include "client/ReplyCode.h"
#include "client/Requests.h"

namespace client {

namespace {

// The argument record a request function takes: the type of its second parameter.
template <typename F>
struct RequestSignature;
template <typename R, typename Context, typename Arg>
struct RequestSignature<R (*)(Context&, Arg&)> {
    using Result = R;
    using Argument = std::remove_const_t<Arg>;
    static constexpr bool kTakesJob = std::is_same_v<Context, OperationJob>;
};

// Calls the request function on the job's argument record. A reply code is
// mapped to its result code; a function that judges more returns one itself.
template <auto Request>
int Execute(OperationJob& job) {
    using Signature = RequestSignature<decltype(Request)>;
    auto& argument = std::get<typename Signature::Argument>(job.argument);
    typename Signature::Result outcome;
    if constexpr (Signature::kTakesJob) {
        outcome = Request(job, argument);
    } else {
        RequestContext ctx{job.connection, job.abort};
        outcome = Request(ctx, argument);
    }
    if constexpr (std::is_same_v<typename Signature::Result, std::string>)
        return MapReplyCode(outcome);
    else
        return outcome;
}

template <auto Request>
constexpr OperationRow Row(OperationKind kind, UINT statusText, UINT statusTextOff = 0) {
    using Argument = typename RequestSignature<decltype(Request)>::Argument;
    return {kind, statusText, statusTextOff,
            [](const OperationArgument& argument) { return std::holds_alternative<Argument>(argument); },
            &Execute<Request>};
}

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

using K = OperationKind;
constexpr OperationRow kOperations[] = {
    Row<&RequestSetBtEnable>(K::SetBtEnable, kStatusEnableBt, kStatusDisableBt),
    Row<&RequestSetBtPriority>(K::SetBtPriority, kStatusBtPriority),
    Row<&RequestPauseBtItem>(K::PauseBtItem, kStatusPauseBt),
    Row<&RequestResumeBtItem>(K::ResumeBtItem, kStatusResumeBt),
    Row<&RequestRemoveBtItem>(K::RemoveBtItem, kStatusRemoveBt),
    Row<&RequestSetWebFtpEnable>(K::SetWebFtpEnable, kStatusEnableWebFtp, kStatusDisableWebFtp),
    Row<&RequestPauseWebFtpItem>(K::PauseWebFtpItem, kStatusPauseWebFtp),
    Row<&RequestResumeWebFtpItem>(K::ResumeWebFtpItem, kStatusResumeWebFtp),
    Row<&RequestRemoveWebFtpItem>(K::RemoveWebFtpItem, kStatusRemoveWebFtp),
    Row<&RequestAddWebFtpItem>(K::AddWebFtpItem, kStatusAddWebFtp),
    Row<&AddBtItemFromFileOperation>(K::AddBtItemFromFile, kStatusAddBt),
    Row<&RequestAddBtItemFromUrl>(K::AddBtItemFromUrl, kStatusAddBt),
    Row<&RefreshStatusOperation>(K::RefreshStatus, kStatusRefresh),
    Row<&RequestSetDefaultPath>(K::SetDefaultPath, kStatusSetDefaultPath),
    Row<&RequestGetDefaultPath>(K::GetDefaultPath, kStatusGetDefaultPath),
    Row<&ConnectOperation>(K::Connect, kStatusConnecting),
    Row<&OpenRootOperation>(K::OpenRoot, kStatusFolders),
    Row<&RequestOpenSubCatalog>(K::OpenSubCatalog, kStatusFolders),
};

}  // namespace

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

int ExecuteOperation(OperationJob& job) {
    const OperationRow* row = FindOperation(job.kind);
    if (!row || !row->accepts(job.argument)) return kResultUndefinedError;
    return row->execute(job);
}

int ConnectOperation(OperationJob& job, ConnectArg& arg) {
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

}  // namespace client
