// The status page: fetched uncached and whole, its XML cut out and parsed.
#pragma once
#include <string>

#include "client/HttpTransport.h"
#include "client/Operation.h"

namespace client {

// The reply code, and in `xml` the document cut out of the page.
std::string RequestStatusPage(RequestContext& ctx, std::string& xml);
// The whole status operation: page, conversion, parse. Returns a result code.
int RefreshStatusOperation(RequestContext& ctx, ServerStatus& status);

}  // namespace client
