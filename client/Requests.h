// The request functions: each runs one exchange on the worker thread and
// returns the server's reply code (or a locally produced one).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "client/HttpTransport.h"
#include "client/Operation.h"
#include "client/StatusTypes.h"

namespace client {

// Service switches and job control.
std::string RequestSetBtEnable(RequestContext& ctx, int on);
std::string RequestSetBtPriority(RequestContext& ctx, const std::string& itemId, int priority);
std::string RequestBtItemAction(RequestContext& ctx, OperationKind kind, const std::string& itemId);
std::string RequestSetWebFtpEnable(RequestContext& ctx, int on);
std::string RequestWebFtpItemAction(RequestContext& ctx, OperationKind kind, const std::string& key);

// Adding jobs.
std::string RequestAddWebFtpItem(RequestContext& ctx, const AddWebFtpArg& item);
std::string RequestAddBtItemFromUrl(RequestContext& ctx, const AddBtUrlArg& item);
std::string RequestAddBtItemFromFile(RequestContext& ctx, const AddBtFileArg& item);

// Status page: the reply code, and in `xml` the document cut out of the page.
std::string RequestStatusPage(RequestContext& ctx, std::string& xml);
// Whole status operation: page, conversion, parse. Returns a result code.
int RefreshStatusOperation(RequestContext& ctx, ServerStatus& status);

// Default path and server folders.
std::string RequestSetDefaultPath(RequestContext& ctx, const std::string& path);
std::string RequestGetDefaultPath(RequestContext& ctx, std::string& path);
std::string RequestOpenRoot(RequestContext& ctx, std::vector<std::string>& disks);
std::string RequestOpenSubCatalog(RequestContext& ctx, const std::string& folder, std::vector<std::string>& folders);

// Opens a connection to `address` with the credentials and probes it with the
// status page. Returns a result code; on success `job.newConnection` holds it.
int ConnectOperation(OperationJob& job, const ConnectArg& arg);

}  // namespace client
