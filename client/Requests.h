// The request functions: each runs one exchange on the worker thread with the
// operation's argument record. Most return the server's reply code (or a
// locally produced one), which the operation table maps to a result code; the
// few that judge more than the reply code return a result code themselves.
// Platform failures inside them are caught once, at the worker's entry.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "client/HttpTransport.h"
#include "client/Operation.h"
#include "client/StatusTypes.h"

namespace client {

// Service switches and job control.
std::string RequestSetBtEnable(RequestContext& ctx, const SwitchArg& arg);
std::string RequestSetBtPriority(RequestContext& ctx, const PriorityArg& arg);
std::string RequestPauseBtItem(RequestContext& ctx, const ItemKeyArg& arg);
std::string RequestResumeBtItem(RequestContext& ctx, const ItemKeyArg& arg);
std::string RequestRemoveBtItem(RequestContext& ctx, const ItemKeyArg& arg);
std::string RequestSetWebFtpEnable(RequestContext& ctx, const SwitchArg& arg);
std::string RequestPauseWebFtpItem(RequestContext& ctx, const ItemKeyArg& arg);
std::string RequestResumeWebFtpItem(RequestContext& ctx, const ItemKeyArg& arg);
std::string RequestRemoveWebFtpItem(RequestContext& ctx, const ItemKeyArg& arg);

// Adding jobs.
std::string RequestAddWebFtpItem(RequestContext& ctx, const AddWebFtpArg& item);
std::string RequestAddBtItemFromUrl(RequestContext& ctx, const AddBtUrlArg& item);
std::string RequestAddBtItemFromFile(RequestContext& ctx, const AddBtFileArg& item);
// The upload as an operation: a torrent that could not be read into memory was
// never sent and is reported like a file that could not be opened.
int AddBtItemFromFileOperation(RequestContext& ctx, const AddBtFileArg& item);

// Status page: the reply code, and in `xml` the document cut out of the page.
std::string RequestStatusPage(RequestContext& ctx, std::string& xml);
// Whole status operation: page, conversion, parse. Returns a result code.
int RefreshStatusOperation(RequestContext& ctx, ServerStatus& status);

// Default path and server folders.
std::string RequestSetDefaultPath(RequestContext& ctx, const PathArg& arg);
std::string RequestGetDefaultPath(RequestContext& ctx, PathArg& arg);
std::string RequestOpenRoot(RequestContext& ctx, FolderListArg& list);
std::string RequestOpenSubCatalog(RequestContext& ctx, FolderListArg& list);
// The disk list as an operation: a server that lists no disk gives 5513.
int OpenRootOperation(RequestContext& ctx, FolderListArg& list);

// The login loop (LogIn) on the worker: returns a result code; on success
// `operation.newConnection` holds the connection.
int ConnectOperation(DeviceOperation& operation, ConnectArg& arg);

}  // namespace client
