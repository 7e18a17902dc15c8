// The default path and the server's folders. The requests return the
// server's reply code; OpenRootOperation judges the disk list too.
#pragma once
#include <string>

#include "client/HttpTransport.h"
#include "client/Operation.h"

namespace client {

std::string RequestSetDefaultPath(RequestContext& ctx, const PathArg& arg);
std::string RequestGetDefaultPath(RequestContext& ctx, PathArg& arg);
std::string RequestOpenRoot(RequestContext& ctx, FolderListArg& list);
std::string RequestOpenSubCatalog(RequestContext& ctx, FolderListArg& list);
// The disk list as an operation: a server that lists no disk gives 5513.
int OpenRootOperation(RequestContext& ctx, FolderListArg& list);

}  // namespace client
