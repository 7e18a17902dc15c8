// The server's default save path and its disks and folders.
#include "client/FolderRequests.h"

#include "client/Multipart.h"
#include "client/ReplyCode.h"
#include "client/FolderScan.h"
#include "client/StatusDocument.h"

namespace client {

std::string RequestSetDefaultPath(RequestContext& ctx, const PathArg& arg) {
    MultipartBuilder body;
    body.Field("DefaultPath", arg.path);
    return PostMultipart(ctx, "/goform/formSetDefaultPath", body.Finish(), true);
}

std::string RequestGetDefaultPath(RequestContext& ctx, PathArg& arg) {
    // An empty value asks the server for its current setting.
    MultipartBuilder body;
    body.Field("DefaultPath", std::string());
    std::string page;
    std::string code = PostMultipart(ctx, "/goform/formSetDefaultPath", body.Finish(), true, ReadMode::Whole, &page);
    if (code != kReplySuccess) return code;
    std::string xml;
    if (!CutBodyXml(page, xml) || !ParseDefaultPathDocument(xml, arg.path)) return kReplyPageError;
    return code;
}

std::string RequestOpenRoot(RequestContext& ctx, FolderListArg& list) {
    HttpExchange ex;
    ex.verb = "GET";
    ex.object = "nasopenroot.asp";
    ex.read = ReadMode::Whole;
    std::string page;
    std::string code = RunExchange(ctx, ex, &page);
    ScanRootPage(page, list.names);
    return code;
}

int OpenRootOperation(RequestContext& ctx, FolderListArg& list) {
    int result = MapReplyCode(RequestOpenRoot(ctx, list));
    return result == kResultOk && list.names.empty() ? kResultNoDisk : result;
}

std::string RequestOpenSubCatalog(RequestContext& ctx, FolderListArg& list) {
    MultipartBuilder body;
    body.Field("prePath", list.folder).Field("fileType", std::string("folder"));
    std::string page;
    std::string code = PostMultipart(ctx, "/goform/formNasOpenSubCatalog", body.Finish(), true, ReadMode::Whole, &page);
    if (!ScanFolderPage(page, list.names)) return kReplyPageError;
    return code;
}

}  // namespace client
