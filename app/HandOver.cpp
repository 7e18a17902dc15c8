#include "app/HandOver.h"

#include <shellapi.h>

#include <cstring>

#include "app/CommandLine.h"
#include "app/QuarrowApp.h"
#include "app/SharedState.h"
#include "common/Handle.h"
#include "common/WinUtil.h"
#include "dialogs/CmdAddDlg.h"

namespace app {

namespace {
constexpr size_t kHeaderSize = 8;

void PutInt(std::vector<char>& out, int32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF));
}

int32_t GetInt(const unsigned char* p) {
    return static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

// The zero-terminated text at `offset`; false if its zero is not inside the payload.
bool TakeText(const char* data, size_t size, size_t& offset, std::string& text) {
    if (offset >= size) return false;
    const void* zero = std::memchr(data + offset, 0, size - offset);
    if (!zero) return false;
    size_t end = static_cast<size_t>(static_cast<const char*>(zero) - data);
    text.assign(data + offset, end - offset);
    offset = end + 1;
    return true;
}
}  // namespace

std::vector<char> BuildHandOverMessage(const HandOver& handOver) {
    std::vector<char> out;
    out.reserve(kHeaderSize + handOver.first.size() + handOver.second.size() + 2);
    PutInt(out, handOver.kind);
    PutInt(out, handOver.codePage);
    out.insert(out.end(), handOver.first.begin(), handOver.first.end());
    out.push_back('\0');
    if (handOver.kind == kHandOverLink) {
        out.insert(out.end(), handOver.second.begin(), handOver.second.end());
        out.push_back('\0');
    }
    return out;
}

bool ReadHandOverMessage(const void* data, size_t size, HandOver& handOver) {
    if (!data || size < kHeaderSize + 1 || size > kMaxHandOverSize) return false;
    const char* bytes = static_cast<const char*>(data);
    HandOver read;
    read.kind = GetInt(reinterpret_cast<const unsigned char*>(bytes));
    if (read.kind != kHandOverTorrent && read.kind != kHandOverLink) return false;
    size_t offset = kHeaderSize;
    if (!TakeText(bytes, size, offset, read.first)) return false;
    if (read.kind == kHandOverLink && !TakeText(bytes, size, offset, read.second)) return false;
    handOver = std::move(read);
    return true;
}

bool PrepareTorrentHandOver(const std::string& argument, HandOver& handOver) {
    std::string path = TorrentPathFromArgument(argument);
    if (path.empty()) return false;
    handOver = {kHandOverTorrent, 0, path, std::string()};
    return true;
}

bool PrepareLinkHandOver(const std::string& argument, const client::CCSConvertor& charsets, HandOver& handOver) {
    LinkArgument parts;
    if (!ParseLinkArgument(argument, parts)) return false;
    std::wstring link = DecodeHexLink(parts.hexLink);
    link = link.substr(0, link.find(L'\0'));
    for (size_t at = link.find(L"%25"); at != std::wstring::npos; at = link.find(L"%25", at + 5))
        link.replace(at, 3, L"%2525");
    handOver.kind = kHandOverLink;
    handOver.codePage = charsets.CodePageFromName(parts.charset);
    handOver.first = client::CCSConvertor::EncodeWideForCodePage(link, handOver.codePage);
    handOver.second = client::CCSConvertor::EncodeWideForCodePage(link, client::CCSConvertor::GetUtf8CodePage());
    return true;
}

namespace {
HWND MainWindow() { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(Shared().mainWindow)); }

// Sleeps between tries; true when the hand-over window asked to give up.
bool CancelledWhileWaiting(HANDLE cancel) { return ::WaitForSingleObject(cancel, 1000) == WAIT_OBJECT_0; }
}  // namespace

int SendHandOver(int kind, const std::string& argument) {
    HandOver handOver;
    // A broken argument hands nothing over, and starts nothing either.
    bool ready = kind == kHandOverTorrent ? PrepareTorrentHandOver(argument, handOver)
                                          : PrepareLinkHandOver(argument, TheApp().Charsets(), handOver);
    if (!ready) return 1;

    win::Handle cancel(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!cancel.Valid()) return 1;
    dialogs::StartCmdAddWindow(kind == kHandOverTorrent, cancel.Get());

    if (Shared().instanceFlag == 0)
        ::ShellExecuteA(nullptr, "open", CQuarrowApp::ModulePath().c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    while (Shared().mainWindow == 0)
        if (CancelledWhileWaiting(cancel.Get())) return 0;

    std::vector<char> payload = BuildHandOverMessage(handOver);
    for (;;) {
        if (::WaitForSingleObject(cancel.Get(), 0) == WAIT_OBJECT_0) return 0;
        HWND window = MainWindow();
        RECT rect;
        if (Shared().busyCount == 0) {
            COPYDATASTRUCT copy = {0, static_cast<DWORD>(payload.size()), payload.data()};
            ::SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
            return 0;
        }
        if (!::GetWindowRect(window, &rect)) return 0;  // the main window has gone
        if (CancelledWhileWaiting(cancel.Get())) return 0;
    }
}

}  // namespace app
