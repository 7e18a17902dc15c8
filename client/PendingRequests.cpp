// Placeholders until the add, status and folder requests and the converter land.
#include "client/CSConvertor.h"
#include "client/ReplyCode.h"
#include "client/Requests.h"

namespace client {
std::string RequestAddWebFtpItem(RequestContext&, const AddWebFtpArg&) { return kReplyPageError; }
std::string RequestAddBtItemFromUrl(RequestContext&, const AddBtUrlArg&) { return kReplyPageError; }
std::string RequestAddBtItemFromFile(RequestContext&, const AddBtFileArg&) { return kReplyPageError; }
std::string RequestStatusPage(RequestContext&, std::string&) { return kReplyPageError; }
int RefreshStatusOperation(RequestContext&, ServerStatus&) { return kResultServerError; }
std::string RequestSetDefaultPath(RequestContext&, const std::string&) { return kReplyPageError; }
std::string RequestGetDefaultPath(RequestContext&, std::string&) { return kReplyPageError; }
std::string RequestOpenRoot(RequestContext&, std::vector<std::string>&) { return kReplyPageError; }
std::string RequestOpenSubCatalog(RequestContext&, const std::string&, std::vector<std::string>&) {
    return kReplyPageError;
}
int CCSConvertor::LoadCharsetFile(const std::string&) { return 0; }
std::string CCSConvertor::EncodeForCodePage(const std::string& text, int) { return text; }
}  // namespace client
