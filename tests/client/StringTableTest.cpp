// Every number the device client hands to a window is a message in the linked
// string table: the reply codes' results, the locally produced results and the
// status line of every operation.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "client/Operation.h"
#include "client/ReplyCode.h"

using namespace client;

namespace {

std::string Text(UINT id) {
    char text[512] = {};
    int length = ::LoadStringA(::GetModuleHandleA(nullptr), id, text, sizeof text);
    return std::string(text, length > 0 ? static_cast<size_t>(length) : 0);
}

}  // namespace

TEST(StringTable, EveryResultAndStatusTextHasItsMessage) {
    for (const ReplyEntry& entry : ReplyCodeTable()) {
        if (entry.result != kResultOk) { EXPECT_FALSE(Text(entry.result).empty()) << entry.code; }
    }
    for (int local : {kResultNotConnected, kResultConnectError, kResultServerError, kResultUndefinedError,
                      kResultCannotOpenFile, kResultNoDisk, kResultThreadFailed, kResultTimeout})
        EXPECT_FALSE(Text(local).empty()) << local;
    for (const OperationRow& row : OperationTable()) {
        EXPECT_TRUE(Text(row.statusText).ends_with("...")) << int(row.kind);
        if (row.statusTextOff) { EXPECT_NE(Text(row.statusText), Text(row.statusTextOff)) << int(row.kind); }
    }
    // A sample that the numbers and texts belong together, not just exist.
    EXPECT_EQ("There is no file in disk.", Text(MapReplyCode("ERR_NO_FILE_USB2")));
    EXPECT_EQ("Connection is time out! The operation may be failed.", Text(kResultTimeout));
    EXPECT_EQ("Pausing BT item...", Text(FindOperation(OperationKind::PauseBtItem)->statusText));
    SwitchArg off{0};
    EXPECT_EQ("Disabling Web/FTP...", Text(StatusTextOf(*FindOperation(OperationKind::SetWebFtpEnable), off)));
}
