// Service switches and job control: form text for the BT handlers, multipart
// for the Web/FTP table.
#include <cstdio>

#include "client/Multipart.h"
#include "client/ControlRequests.h"

namespace client {

namespace {

std::string Format(const char* format, int value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The item ID goes in as the server gave it, without escaping.
std::string BtItemAction(RequestContext& ctx, const std::string& itemId, const char* action) {
    return PostFormText(ctx, "/goform/formBtListTable", "selectItem=" + itemId + action);
}

std::string WebFtpItemAction(RequestContext& ctx, const std::string& key, const char* field, const char* value) {
    MultipartBuilder body;
    body.Field("selectItem", key).Field(field, std::string(value));
    return PostMultipart(ctx, "goform/formNasDownloadTable", body.Finish(), true);
}

}  // namespace

std::string RequestSetBtEnable(RequestContext& ctx, const SwitchArg& arg) {
    return PostFormText(ctx, "/goform/formSetBtFlashState", Format("setBtState=%d", arg.on));
}

std::string RequestSetBtPriority(RequestContext& ctx, const PriorityArg& arg) {
    return PostFormText(ctx, "/goform/formBtListTable", Format("selectOrder=%d&number=", arg.priority) + arg.key);
}

std::string RequestPauseBtItem(RequestContext& ctx, const ItemKeyArg& arg) {
    return BtItemAction(ctx, arg.key, "&Pause=Pause");
}

std::string RequestResumeBtItem(RequestContext& ctx, const ItemKeyArg& arg) {
    return BtItemAction(ctx, arg.key, "&Resume=Resume");
}

std::string RequestRemoveBtItem(RequestContext& ctx, const ItemKeyArg& arg) {
    return BtItemAction(ctx, arg.key, "&RemoveSel=Remove+Selected");
}

std::string RequestSetWebFtpEnable(RequestContext& ctx, const SwitchArg& arg) {
    return PostFormText(ctx, "/goform/formDownFlashState", Format("downSwitch=%d", arg.on));
}

std::string RequestPauseWebFtpItem(RequestContext& ctx, const ItemKeyArg& arg) {
    return WebFtpItemAction(ctx, arg.key, "Pause", "Pause");
}

std::string RequestResumeWebFtpItem(RequestContext& ctx, const ItemKeyArg& arg) {
    return WebFtpItemAction(ctx, arg.key, "Resume", "Resume");
}

std::string RequestRemoveWebFtpItem(RequestContext& ctx, const ItemKeyArg& arg) {
    return WebFtpItemAction(ctx, arg.key, "delSel", "Remove Selected");
}

}  // namespace client
