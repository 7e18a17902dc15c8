// The server's default save path and its disks and folders.
#include "FolderRequests.h"

#include "client/Multipart.h"
#include "client/ReplyCode.h"
#include "client/Requests.h"
#include "client/StatusDocument.h"

namespace client {

void ScanRootPage(const std::string& page, std::vector<std::string>& disks) {
    static const std::string kInput = "<input type=\"hidden\"";
    static const std::string kValue = "value=\"";
    size_t pos = 0;
    for (;;) {
        const size_t input = page.find(kInput, pos);
        if (input == std::string::npos) return;
        const size_t value = page.find(kValue, input);
        if (value == std::string::npos) return;
        const size_t begin = value + kValue.size();
        const size_t end = page.find('"', begin);
        if (end == std::string::npos) return;
        disks.push_back(page.substr(begin, end - begin));
        // Each value marker lies past its input marker, so the scan always moves on.
        pos = value;
    }
}

void ScanFolderPage(const std::string& page, std::vector<std::string>& folders) {
    size_t pos = 0;
    for (;;) {
        const size_t div = page.find("<div", pos);
        if (div == std::string::npos) return;
        const size_t open = page.find("> ", div + 1);
        const size_t close = page.find(" <", div + 1);
        if (open != std::string::npos && close != std::string::npos && open < close) {
            // Only the single spaces beside the tags go; spaces inside a name stay.
            const size_t begin = open + 2;
            folders.push_back(begin < close ? page.substr(begin, close - begin) : std::string());
        }
        pos = div + 1;
    }
}

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
    std::string code =
        PostMultipart(ctx, "/goform/formNasOpenSubCatalog", body.Finish(), true, ReadMode::Whole, &page);
    ScanFolderPage(page, list.names);
    return code;
}

}  // namespace client
