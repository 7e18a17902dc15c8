#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "client/AddRequests.h"
#include "client/CSConvertor.h"
#include "client/ReplyCode.h"

using namespace client;

namespace {

const std::string kDelimiter = "--/////////////////\r\nContent-Disposition: form-data; ";

std::string Part(const char* name, const std::string& value) {
    return kDelimiter + "name=\"" + name + "\"\r\n\r\n" + value + "\r\n";
}

const std::string kEnd = "--/////////////////--";

// A temporary file removed at the end of the test.
struct TempFile {
    std::string path;
    HANDLE handle = INVALID_HANDLE_VALUE;
    TempFile() {
        char dir[MAX_PATH], name[MAX_PATH];
        ::GetTempPathA(MAX_PATH, dir);
        ::GetTempFileNameA(dir, "tor", 0, name);
        path = name;
        handle = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    }
    ~TempFile() {
        ::CloseHandle(handle);
        ::DeleteFileA(path.c_str());
    }
};

// The test's own handle, lent to the request without passing ownership.
SharedFile Lent(HANDLE handle) {
    return SharedFile(handle, [](void*) {});
}

}  // namespace

TEST(AddBodies, WebFtpSendsAllFivePartsEvenWhenEmpty) {
    AddWebFtpArg arg{"http://h/a%20b", "http://h/a%20b", "[HDD1]dl\\", "", ""};
    EXPECT_EQ(Part("UrlEncoded", "http://h/a%20b") + Part("UrlUtf8", "http://h/a%20b") +
                  Part("savePath", "[HDD1]dl\\") + Part("user", "") + Part("pwd", "") + kEnd,
              BuildAddWebFtpBody(arg));
}

TEST(AddBodies, TorrentUrlWithLowPriority) {
    AddBtUrlArg arg{"http://h/x.torrent", "http://h/x%C3%A9.torrent", "[HDD2]", -1};
    EXPECT_EQ(Part("btItemPriority", "-1") + Part("torrentType", "0") + Part("savePath", "[HDD2]") +
                  Part("UrlEncoded", "http://h/x.torrent") + Part("UrlUtf8", "http://h/x%C3%A9.torrent") + kEnd,
              BuildAddBtUrlBody(arg));
}

TEST(AddBodies, TorrentUploadFrame) {
    AddBtFileArg arg;
    arg.priority = 1;
    arg.savePath = "[HDD1]Movies\\";
    // The path in this system's ANSI code page, e with acute accent included.
    const std::wstring wide = L"C:\\Torrents\\a b\u00e9.torrent";
    arg.pcPath = CCSConvertor::FromWide(wide.c_str(), wide.size(), CP_ACP);
    TorrentUploadFrame frame = BuildTorrentUploadFrame(arg);
    EXPECT_EQ(Part("btItemPriority", "1") + Part("torrentType", "1") + kDelimiter +
                  "name=\"file\"; filename=\"\"\r\nContent-Type: application/octet-stream\r\n\r\n",
              frame.head);
    EXPECT_EQ("\r\n" + Part("savePath", "[HDD1]Movies\\") +
                  Part("pcLocationEncoded", "C:\\Torrents\\a^20b^25C3^25A9.torrent") + kEnd,
              frame.tail);
}

// Without a connection the exchange fails at once, which shows whether the
// request got as far as sending.
TEST(AddTorrentFile, RefusedBeforeSending) {
    RequestContext ctx{nullptr, std::make_shared<GiveUpFlag>(), {}};
    AddBtFileArg arg;
    arg.file = nullptr;
    EXPECT_EQ(kReplyTorrentRefused, RequestAddBtItemFromFile(ctx, arg));

    TempFile small;
    ASSERT_NE(INVALID_HANDLE_VALUE, small.handle);
    DWORD written = 0;
    ::WriteFile(small.handle, "d4:infod4:name1:aee", 19, &written, nullptr);
    arg.file = Lent(small.handle);  // positioned at its end: the request rewinds it
    EXPECT_EQ(kReplyException, RequestAddBtItemFromFile(ctx, arg));

    TempFile huge;  // sparse: 4 GiB of length costs no disk
    LARGE_INTEGER size;
    size.QuadPart = 4LL * 1024 * 1024 * 1024;
    ASSERT_TRUE(::SetFilePointerEx(huge.handle, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(::SetEndOfFile(huge.handle));
    arg.file = Lent(huge.handle);
    EXPECT_EQ(kReplyTorrentRefused, RequestAddBtItemFromFile(ctx, arg));

    // The worker reports such a file like one that could not be opened.
    DeviceOperation operation;
    operation.row = FindOperation(OperationKind::AddBtItemFromFile);
    operation.argument = arg;
    EXPECT_EQ(kResultCannotOpenFile, ExecuteOperation(operation));
}
