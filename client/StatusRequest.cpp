#include "client/StatusRequest.h"

#include "client/CSConvertor.h"
#include "client/ReplyCode.h"
#include "client/StatusDocument.h"
#include "common/Marks.h"

namespace client {

std::string RequestStatusPage(RequestContext& ctx, std::string& xml) {
    HttpExchange ex;
    ex.verb = "GET";
    ex.object = "Quarrow.asp";
    // Never from the cache: the page changes from one minute to the next.
    ex.flags = INTERNET_FLAG_RELOAD;
    ex.read = ReadMode::Whole;
    std::string page;
    std::string code = RunExchange(ctx, ex, &page);
    if (code == kReplyException) return code;
    if (!CutBodyXml(page, xml)) return kReplyPageError;
    return code;
}

int RefreshStatusOperation(RequestContext& ctx, ServerStatus& status) {
    std::string xml;
    win::Mark("status fetch");
    int result = MapReplyCode(RequestStatusPage(ctx, xml));
    win::Mark("status fetched");
    if (result != kResultOk) return result;
    // The document is UTF-8; the lists show ANSI text.
    std::string ansi = CCSConvertor::ConvertToAnsi(xml, CCSConvertor::GetUtf8CodePage());
    result = ParseStatusDocument(ansi, status) == kReplySuccess ? kResultOk : kResultServerError;
    win::Mark("status parsed");
    return result;
}

}  // namespace client
