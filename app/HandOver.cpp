#include "app/HandOver.h"

#include <shellapi.h>

#include "app/QuarrowApp.h"
#include "app/SharedState.h"
#include "common/Handle.h"
#include "common/WinUtil.h"
#include "dialogs/CmdAddDlg.h"

namespace app {

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
