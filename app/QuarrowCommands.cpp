// What the user can do in the main window (buttons, row controls, menus, F5,
// the about box, the notification icon, closing), one row of the table each,
// and the adding of a handed-over torrent file or link.
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <vector>

#include "app/QuarrowApp.h"
#include "app/QuarrowDlg.h"
#include "app/SharedState.h"
#include "resources/resource.h"
#include "common/WinUtil.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/AddDlg.h"
#include "dialogs/DialogText.h"
#include "dialogs/SearchServerDlg.h"
#include "dialogs/SelPathDlg.h"

namespace app {

namespace {

HWND g_keyWindow = nullptr;  // the main window, for the F5 hook

// F5 is taken from the message stream before any dialog loop sees it, so it
// works whichever control has the focus; it refreshes only while idle.
LRESULT CALLBACK KeyHook(int code, WPARAM removed, LPARAM lp) {
    auto* msg = reinterpret_cast<MSG*>(lp);
    if (code == HC_ACTION && removed == PM_REMOVE && msg && msg->message == WM_KEYDOWN && msg->wParam == VK_F5 &&
        g_keyWindow && (msg->hwnd == g_keyWindow || ::IsChild(g_keyWindow, msg->hwnd))) {
        if (Shared().busyCount == 0) ::PostMessageA(g_keyWindow, WM_COMMAND, ID_MENU_REFRESH, 0);
        msg->message = WM_NULL;
    }
    return ::CallNextHookEx(nullptr, code, removed, lp);
}

bool AskRemove(HWND owner) { return win::ShowMessage(owner, IDS_CONFIRM_REMOVE, MB_OKCANCEL) == IDOK; }

}  // namespace

void CQuarrowDlg::RegisterCommands() {
    // Buttons and menu items: the IDs that run a command, and what it does.
    struct Command {
        std::vector<int> ids;
        std::function<void()> run;
    };
    const Command commands[] = {
        {{IDC_MAIN_REFRESH, ID_MENU_REFRESH}, [this] { Refresh(); }},
        {{IDC_MAIN_BT_ADD}, [this] { AddBt(); }},
        {{IDC_MAIN_WEB_ADD}, [this] { AddWebFtp(); }},
        {{ID_MENU_RESCAN}, [this] { Rescan(); }},
        {{ID_MENU_EXIT, ID_TRAY_EXIT}, [this] { End(IDOK); }},
        {{ID_MENU_TOGGLE_BT, ID_TRAY_TOGGLE_BT},
         [this] {
             Framed([this] {
                 return client_.Run(client::OperationKind::SetBtEnable, client::SwitchArg{current_.btOn ? 0 : 1});
             });
         }},
        {{ID_MENU_TOGGLE_WEBFTP, ID_TRAY_TOGGLE_WEBFTP},
         [this] {
             Framed([this] {
                 return client_.Run(client::OperationKind::SetWebFtpEnable,
                                    client::SwitchArg{current_.webFtpOn ? 0 : 1});
             });
         }},
        {{ID_MENU_DEFAULT_PATH}, [this] { SetDefaultFolder(); }},
        {{ID_MENU_NOTIFY, ID_TRAY_NOTIFY}, [this] { notifier_.Toggle(); }},
        {{ID_TRAY_SHOW_WINDOW}, [this] { ::ShowWindow(Hwnd(), SW_SHOW); }},
        // Enter and Escape do not close the window.
        {{IDOK, IDCANCEL}, [] {}},
    };
    for (const Command& command : commands)
        for (int id : command.ids) OnClicked(id, command.run);

    // The row controls of both panels: the row is the control's offset in its range.
    for (CJobPanel* panel : {&btPanel_, &webPanel_})
        for (const RowControl& control : panel->Kind().rowControls)
            OnCommandRange(
                control.firstId, control.firstId + CJobPanel::kRows - 1,
                control.role == RowRole::Priority ? CBN_SELCHANGE : BN_CLICKED,
                [this, panel, control](int id) { RunRowCommand(*panel, control.role, id - control.firstId); });

    OnMessage(WM_SYSCOMMAND, [this](WPARAM command, LPARAM) {
        if ((command & 0xFFF0) == IDM_ABOUTBOX) {
            dialogs::CAboutDlg about;
            about.Show(Hwnd());
        } else {
            PassToDefault();
        }
        return INT_PTR(0);
    });
    // The close box and Alt+F4 only hide the window; "Exit" ends the program.
    OnMessage(WM_CLOSE, [this](WPARAM, LPARAM) {
        ::ShowWindow(Hwnd(), SW_HIDE);
        return INT_PTR(0);
    });
    OnMessage(CTrayIcon::kCallbackMessage, [this](WPARAM id, LPARAM mouse) {
        tray_.OnCallback(id, mouse, Idle());
        return INT_PTR(TRUE);
    });
    OnMessage(WM_COPYDATA,
              [this](WPARAM, LPARAM lp) { return handOvers_.OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp)); });
    OnMessage(WM_DROPFILES, [this](WPARAM drop, LPARAM) {
        OnDropFiles(reinterpret_cast<HDROP>(drop));
        return INT_PTR(0);
    });
}

template <typename Call>
void CQuarrowDlg::Framed(Call&& call) {
    BusyScope busy(*this);
    int result = call();
    if (result != 0)
        ShowMessage(result);
    else
        RefreshAfterOperation();
}

// The job is taken by its key when the control is used, never again by its
// row: the remove question is asked outside the busy state, so a refresh (the
// timer, a hand-over) may replace the list while it is up, and only a job that
// the window still shows is removed.
void CQuarrowDlg::RunRowCommand(CJobPanel& panel, RowRole role, int row) {
    const JobRow* job = panel.JobAt(row);
    if (!job) return;
    const std::string key = job->key;
    const JobKind& kind = panel.Kind();
    switch (role) {
    case RowRole::Priority: {
        const int entry = panel.SelectedPriorityEntry(row);
        if (entry < 0 || !kind.setPriority) return;
        Framed([&] { return client_.Run(*kind.setPriority, client::PriorityArg{key, PriorityOfEntry(entry)}); });
        return;
    }
    case RowRole::PauseResume: {
        const auto operation = job->paused ? kind.resume : kind.pause;
        Framed([&] { return client_.Run(operation, client::ItemKeyArg{key}); });
        return;
    }
    case RowRole::Remove:
        if (!AskRemove(Hwnd()) || !panel.Shows(key)) return;
        Framed([&] { return client_.Run(kind.remove, client::ItemKeyArg{key}); });
        return;
    }
}

// ---------------------------------------------------------------- adding

bool CQuarrowDlg::AddBt(const std::string& torrentFile) {
    BusyScope busy(*this);
    dialogs::CAddBtDlg dialog(client_, TheApp().Charsets());
    if (!torrentFile.empty()) dialog.PresetPcPath(torrentFile);
    if (dialog.Show(Hwnd()) != IDOK) {
        ApplyStatus();
        return false;
    }
    const int priority = PriorityOfEntry(dialog.PriorityPosition());
    Framed([&] {
        if (dialog.FromUrl())
            return client_.Run(
                client::OperationKind::AddBtItemFromUrl,
                client::AddBtUrlArg{dialog.Urls().inCharset, dialog.Urls().inUtf8, dialog.SavePath(), priority});
        client::SharedFile file = client::OpenTorrentFile(dialog.PcPath());
        return file ? client_.Run(client::OperationKind::AddBtItemFromFile,
                                  client::AddBtFileArg{dialog.PcPath(), file, dialog.SavePath(), priority})
                    : int(IDS_CANNOT_OPEN_FILE);
    });
    return true;
}

void CQuarrowDlg::AddWebFtp() {
    BusyScope busy(*this);
    dialogs::CAddFtpDlg dialog(client_, TheApp().Charsets());
    if (dialog.Show(Hwnd()) != IDOK) {
        ApplyStatus();
        return;
    }
    Framed([&] {
        return client_.Run(client::OperationKind::AddWebFtpItem,
                           client::AddWebFtpArg{dialog.Urls().inCharset, dialog.Urls().inUtf8, dialog.SavePath(),
                                                dialog.User(), dialog.Password()});
    });
}

// ---------------------------------------------------------------- settings

void CQuarrowDlg::Rescan() {
    BusyScope busy(*this);
    dialogs::CSearchServerDlg selection;
    std::string address = selection.AskServer(Hwnd());
    if (!address.empty()) ShowMessage(ConnectTo(address, selection.DisplayText()));
}

void CQuarrowDlg::SetDefaultFolder() {
    // The lists are not fetched again: a folder changes none of them.
    BusyScope busy(*this);
    dialogs::CSelPathDlg folders(client_);
    if (folders.Show(Hwnd()) == IDOK)
        ShowMessage(client_.Run(client::OperationKind::SetDefaultPath, client::PathArg{folders.SelectedPath()}));
}

// ---------------------------------------------------------------- hand-over, icon, F5

bool CQuarrowDlg::AddHandedOver(const HandOver& handOver) {
    BusyScope busy(*this);
    if (!client_.IsConnected()) {
        // Without a server chosen here the window ends (or stays without one).
        ConnectToServer();
        if (!client_.IsConnected()) return false;
    }
    ::SetWindowPos(Hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetWindowPos(Hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);

    // Every failure from here on is this hand-over's alone: its message, and
    // the next one may still go through.
    auto failed = [this](int message) {
        ShowMessage(message);
        return true;
    };
    client::PathArg defaultPath;
    if (int result = client_.Run(client::OperationKind::GetDefaultPath, defaultPath); result != 0)
        return failed(result);
    if (defaultPath.path.empty()) {
        SetDefaultFolder();
        if (int result = client_.Run(client::OperationKind::GetDefaultPath, defaultPath); result != 0)
            return failed(result);
        if (defaultPath.path.empty()) return true;
    }
    const std::string& folder = defaultPath.path;
    int result = 0;
    if (handOver.kind == kHandOverTorrent) {
        client::SharedFile file = client::OpenTorrentFile(handOver.first);
        if (!file) return failed(IDS_CANNOT_OPEN_FILE);
        result = client_.Run(client::OperationKind::AddBtItemFromFile,
                             client::AddBtFileArg{handOver.first, file, folder, 0});
    } else {
        if (!dialogs::HasUrlScheme(handOver.first)) return failed(IDS_URL_BAD_SCHEME);
        result = client_.Run(client::OperationKind::AddWebFtpItem,
                             client::AddWebFtpArg{handOver.first, handOver.second, folder, "", ""});
    }
    if (result != 0) return failed(result);
    RefreshAfterOperation();
    return true;
}

void CQuarrowDlg::AfterFirstConnection() {
    if (!Hwnd() || !::IsWindow(Hwnd())) return;
    tray_.Add(IDI_TRAY, win::LoadResString(IDS_TRAY_TIP));
    notifier_.OnIconAdded();
    g_keyWindow = Hwnd();
    if (!keyHook_) keyHook_.Attach(::SetWindowsHookExA(WH_GETMESSAGE, KeyHook, nullptr, ::GetCurrentThreadId()));
}

void CQuarrowDlg::UnhookRefreshKey() {
    if (!keyHook_) return;
    keyHook_.Close();
    g_keyWindow = nullptr;
}

}  // namespace app
