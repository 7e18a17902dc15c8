// Result codes: what every device operation returns, 0 or the ID of the
// message to show. They are taken from the one header the string table is
// built from, so a result code is its message.
#pragma once
#include "resources/resource.h"

namespace client {

// Result codes: 0 is success, anything else is the ID of the message to show.
enum ResultCode : int {
    kResultOk = 0,
    kResultNotConnected = IDS_NOT_CONNECTED,
    kResultConnectError = IDS_CONNECT_ERROR,
    kResultServerError = IDS_SERVER_ERROR,
    kResultUndefinedError = IDS_UNDEFINED_ERROR,
    kResultCannotOpenFile = IDS_CANNOT_OPEN_FILE,
    kResultNoDisk = IDS_NO_DISK,
    kResultThreadFailed = IDS_THREAD_FAILED,
    kResultTimeout = IDS_TIMEOUT,
    // An operation asked for while another one runs on the same thread (from
    // the wait dialog's message loop): refused, nothing is sent.
    kResultBusy = IDS_ERR_SYSTEM_BUSY,
};

}  // namespace client
