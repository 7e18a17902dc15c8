#include "app/HandOver.h"

#include <shellapi.h>

#include <cstdio>
#include <vector>

#include "app/CommandLine.h"
#include "app/QuarrowApp.h"
#include "app/SharedState.h"
#include "resources/resource.h"
#include "common/Dialog.h"
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
    // A link that came out empty in its page's code page but not in UTF-8:
    // the system has no conversion to that page. Said here, as the console
    // says it, rather than by the main window as a link without a scheme.
    if (kind == kHandOverLink && handOver.first.empty() && !handOver.second.empty()) {
        LinkArgument parts;
        ParseLinkArgument(argument, parts);
        std::string format = win::LoadResString(IDS_HANDOVER_CHARSET);
        std::vector<char> text(format.size() + parts.charset.size() + 16);
        std::snprintf(text.data(), text.size(), format.c_str(), parts.charset.c_str(),
                      static_cast<int>(handOver.codePage));
        win::ShowMessage(nullptr, std::string(text.data()));
        return 1;
    }

    // The hand-over window sets the event when the user gives up; it keeps a
    // handle of its own, so that the event outlives this function for as long
    // as the window can still set or test it.
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
        // The main window clears its handle when it ends: then there is no one
        // to hand over to.
        HWND window = MainWindow();
        if (!window) return 0;
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
