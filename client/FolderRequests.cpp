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

bool ScanFolderPage(const std::string& page, std::vector<std::string>& folders) {
    // Every "<div" takes the first "> " and the first " <" after it. Each of
    // those is found once and kept for all the "<div"s before it, so a page of
    // many "<div"s is read in one pass instead of once per "<div".
    size_t open = 0, close = 0, total = 0;
    for (size_t div = page.find("<div"); div != std::string::npos; div = page.find("<div", div + 1)) {
        if (open < div + 1) open = page.find("> ", div + 1);
        if (close < div + 1) close = page.find(" <", div + 1);
        if (open == std::string::npos || close == std::string::npos) break;
        if (open < close) {
            // Only the single spaces beside the tags go; spaces inside a name stay.
            const size_t begin = open + 2;
            const size_t length = begin < close ? close - begin : 0;
            // Nested "<div"s repeat the same name: bounded like a whole page.
            total += length;
            if (total > kMaxPageBytes) return false;
            folders.push_back(page.substr(begin, length));
        }
    }
    return true;
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
    if (!ScanFolderPage(page, list.names)) return kReplyPageError;
    return code;
}

}  // namespace client
