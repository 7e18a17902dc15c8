// The key that names a Web/FTP job towards the server's download table.
#pragma once
#include <string>

#include "client/StatusTypes.h"

namespace client {

// Save path with the server's device labels, then the file name, slashes for
// backslashes, "%" and " " doubly escaped, and non-ASCII as UTF-8 escapes.
std::string BuildWebFtpKey(const WebFTPItem& item);

}  // namespace client
