// Service switches and job control. Each runs one exchange on the worker
// thread with the operation's argument record and returns the server's reply
// code, which the operation table maps to a result code.
#pragma once
#include <string>

#include "client/HttpTransport.h"
#include "client/Operation.h"

namespace client {

std::string RequestSetBtEnable(RequestContext& ctx, const SwitchArg& arg);
std::string RequestSetBtPriority(RequestContext& ctx, const PriorityArg& arg);
std::string RequestPauseBtItem(RequestContext& ctx, const ItemKeyArg& arg);
std::string RequestResumeBtItem(RequestContext& ctx, const ItemKeyArg& arg);
std::string RequestRemoveBtItem(RequestContext& ctx, const ItemKeyArg& arg);
std::string RequestSetWebFtpEnable(RequestContext& ctx, const SwitchArg& arg);
std::string RequestPauseWebFtpItem(RequestContext& ctx, const ItemKeyArg& arg);
std::string RequestResumeWebFtpItem(RequestContext& ctx, const ItemKeyArg& arg);
std::string RequestRemoveWebFtpItem(RequestContext& ctx, const ItemKeyArg& arg);

}  // namespace client
