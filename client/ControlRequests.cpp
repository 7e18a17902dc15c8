// Service switches and job control: form text for the BT handlers, multipart
// for the Web/FTP table.
#include <cstdio>

#include "client/Multipart.h"
#include "client/Requests.h"

namespace client {

namespace {

std::string Format(const char* format, int value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::string RequestSetBtEnable(RequestContext& ctx, int on) {
    return PostFormText(ctx, "/goform/formSetBtFlashState", Format("setBtState=%d", on));
}

std::string RequestSetBtPriority(RequestContext& ctx, const std::string& itemId, int priority) {
    // The item ID goes in as the server gave it, without escaping.
    return PostFormText(ctx, "/goform/formBtListTable", Format("selectOrder=%d&number=", priority) + itemId);
}

std::string RequestBtItemAction(RequestContext& ctx, OperationKind kind, const std::string& itemId) {
    const char* action = kind == OperationKind::PauseBtItem    ? "&Pause=Pause"
                         : kind == OperationKind::ResumeBtItem ? "&Resume=Resume"
                                                               : "&RemoveSel=Remove+Selected";
    return PostFormText(ctx, "/goform/formBtListTable", "selectItem=" + itemId + action);
}

std::string RequestSetWebFtpEnable(RequestContext& ctx, int on) {
    return PostFormText(ctx, "/goform/formDownFlashState", Format("downSwitch=%d", on));
}

std::string RequestWebFtpItemAction(RequestContext& ctx, OperationKind kind, const std::string& key) {
    MultipartBuilder body;
    body.Field("selectItem", key);
    if (kind == OperationKind::PauseWebFtpItem)
        body.Field("Pause", std::string("Pause"));
    else if (kind == OperationKind::ResumeWebFtpItem)
        body.Field("Resume", std::string("Resume"));
    else
        body.Field("delSel", std::string("Remove Selected"));
    return PostMultipart(ctx, "goform/formNasDownloadTable", body.Finish(), true);
}

}  // namespace client
