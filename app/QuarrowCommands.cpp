// What the user can do in the main window (buttons, row controls, menus, F5,
// the about box, the notification icon, closing) and the hand-over receiver.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "app/QuarrowApp.h"
#include "app/QuarrowDlg.h"
#include "app/SharedState.h"
#include "app/resource.h"
#include "client/WebFtpKey.h"
#include "common/WinUtil.h"
#include "dialogs/AddDlg.h"
#include "dialogs/AboutDlg.h"
#include "dialogs/DialogText.h"
#include "dialogs/SearchServerDlg.h"
#include "dialogs/SelPathDlg.h"

namespace app {

namespace {
constexpr int kRows = CMyListCtrl::kRows;
constexpr UINT kTrayIconId = 0;
// A hand-over that arrives while the window is busy waits this long between looks.
constexpr UINT kHandOverRetryMs = 1000;

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

bool AskRemove(HWND owner) {
    return ::MessageBoxA(owner, win::LoadResString(IDS_CONFIRM_REMOVE).c_str(),
                         win::LoadResString(IDS_MAIN_CAPTION).c_str(), MB_OKCANCEL) == IDOK;
}

int ScrollPosition(HWND bar) { return std::max(::GetScrollPos(bar, SB_CTL), 0); }
}  // namespace

void CQuarrowDlg::RegisterCommands() {
    OnClicked(IDC_MAIN_BT_ADD, [this] { AddBt(); });
    OnClicked(IDC_MAIN_WEB_ADD, [this] { AddWebFtp(); });
    OnClicked(ID_MENU_RESCAN, [this] { Rescan(); });
    OnClicked(ID_TRAY_EXIT, [this] { End(IDOK); });
    for (int id : {ID_MENU_TOGGLE_BT, ID_TRAY_TOGGLE_BT}) OnClicked(id, [this] { ToggleBt(); });
    for (int id : {ID_MENU_TOGGLE_WEBFTP, ID_TRAY_TOGGLE_WEBFTP}) OnClicked(id, [this] { ToggleWebFtp(); });
    OnClicked(ID_MENU_DEFAULT_PATH, [this] { SetDefaultFolder(); });
    for (int id : {ID_MENU_NOTIFY, ID_TRAY_NOTIFY}) OnClicked(id, [this] { ToggleNotify(); });
    OnClicked(ID_TRAY_SHOW_WINDOW, [this] { ::ShowWindow(Hwnd(), SW_SHOW); });
    OnCommandRange(IDC_BT_PRIORITY_FIRST, IDC_BT_PRIORITY_FIRST + kRows - 1, CBN_SELCHANGE,
                   [this](int id) { ChangePriority(id - IDC_BT_PRIORITY_FIRST); });
    OnCommandRange(IDC_BT_ACTION_FIRST, IDC_BT_ACTION_FIRST + kRows - 1, BN_CLICKED,
                   [this](int id) { PauseResumeBt(id - IDC_BT_ACTION_FIRST); });
    OnCommandRange(IDC_BT_REMOVE_FIRST, IDC_BT_REMOVE_FIRST + kRows - 1, BN_CLICKED,
                   [this](int id) { RemoveBt(id - IDC_BT_REMOVE_FIRST); });
    OnCommandRange(IDC_WEB_ACTION_FIRST, IDC_WEB_ACTION_FIRST + kRows - 1, BN_CLICKED,
                   [this](int id) { PauseResumeWebFtp(id - IDC_WEB_ACTION_FIRST); });
    OnCommandRange(IDC_WEB_REMOVE_FIRST, IDC_WEB_REMOVE_FIRST + kRows - 1, BN_CLICKED,
                   [this](int id) { RemoveWebFtp(id - IDC_WEB_REMOVE_FIRST); });
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
    OnMessage(kTrayMessage, [this](WPARAM id, LPARAM mouse) { return OnTrayNotify(id, mouse); });
    OnMessage(WM_COPYDATA, [this](WPARAM, LPARAM lp) {
        return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lp));
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

const client::BTItem* CQuarrowDlg::BtJobAt(int row) const {
    size_t index = static_cast<size_t>(ScrollPosition(Item(IDC_MAIN_BT_SCROLL)) + row);
    return row >= 0 && index < current_.btItems.size() ? &current_.btItems[index] : nullptr;
}

const client::WebFTPItem* CQuarrowDlg::WebFtpJobAt(int row) const {
    size_t index = static_cast<size_t>(ScrollPosition(Item(IDC_MAIN_WEB_SCROLL)) + row);
    return row >= 0 && index < current_.webFtpItems.size() ? &current_.webFtpItems[index] : nullptr;
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
    const int priority = 1 - dialog.PriorityPosition();
    int result = 0;
    if (dialog.FromUrl()) {
        result = client_.Run(client::OperationKind::AddBtItemFromUrl,
                             client::AddBtUrlArg{dialog.Urls().inCharset, dialog.Urls().inUtf8, dialog.SavePath(), priority});
    } else {
        client::SharedFile file = client::OpenTorrentFile(dialog.PcPath());
        result = file ? client_.Run(client::OperationKind::AddBtItemFromFile,
                                    client::AddBtFileArg{dialog.PcPath(), file, dialog.SavePath(), priority})
                      : IDS_CANNOT_OPEN_FILE;
    }
    if (result != 0)
        ShowMessage(result);
    else
        RefreshAfterOperation();
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
        return client_.Run(client::OperationKind::AddWebFtpItem, client::AddWebFtpArg{dialog.Urls().inCharset, dialog.Urls().inUtf8,
                                                                          dialog.SavePath(), dialog.User(),
                                                                          dialog.Password()});
    });
}

// ---------------------------------------------------------------- settings

void CQuarrowDlg::Rescan() {
    BusyScope busy(*this);
    dialogs::CSearchServerDlg selection;
    std::string address = selection.AskServer(Hwnd());
    if (!address.empty()) {
        std::string display = selection.DisplayText();
        int result = client_.Run(client::OperationKind::Connect, client::ConnectArg{display, address});
        if (result != 0) {
            ShowMessage(result);
        } else {
            serverAddress_ = address;
            ::SetWindowTextA(Hwnd(),
                             dialogs::FormatWithText(win::LoadResString(IDS_MAIN_CAPTION_FMT), display).c_str());
            RefreshAfterOperation();
        }
    }
}

void CQuarrowDlg::ToggleBt() {
    Framed([this] { return client_.Run(client::OperationKind::SetBtEnable, client::SwitchArg{current_.btOn ? 0 : 1}); });
}

void CQuarrowDlg::ToggleWebFtp() {
    Framed([this] { return client_.Run(client::OperationKind::SetWebFtpEnable, client::SwitchArg{current_.webFtpOn ? 0 : 1}); });
}

void CQuarrowDlg::SetDefaultFolder() {
    // The lists are not fetched again: a folder changes none of them.
    BusyScope busy(*this);
    dialogs::CSelPathDlg folders(client_);
    if (folders.Show(Hwnd()) == IDOK)
        ShowMessage(client_.Run(client::OperationKind::SetDefaultPath, client::PathArg{folders.SelectedPath()}));
}

// ---------------------------------------------------------------- row controls

void CQuarrowDlg::ChangePriority(int row) {
    const client::BTItem* job = BtJobAt(row);
    if (!job) return;
    std::string itemId = job->itemId;
    int selected = static_cast<int>(::SendMessageA(Item(IDC_BT_PRIORITY_FIRST + row), CB_GETCURSEL, 0, 0));
    if (selected < 0) return;
    Framed([&] { return client_.Run(client::OperationKind::SetBtPriority, client::PriorityArg{itemId, 1 - selected}); });
}

void CQuarrowDlg::PauseResumeBt(int row) {
    const client::BTItem* job = BtJobAt(row);
    if (!job) return;
    std::string itemId = job->itemId;
    bool paused = job->paused != 0;
    Framed([&] {
        return client_.Run(paused ? client::OperationKind::ResumeBtItem : client::OperationKind::PauseBtItem, client::ItemKeyArg{itemId});
    });
}

// The question is asked outside the busy state, so a refresh (the timer, a
// hand-over) may replace the list while it is up: the job is taken by its ID
// when the button is pressed, never again by its row, and only a job that the
// window still shows is removed.
void CQuarrowDlg::RemoveBt(int row) {
    const client::BTItem* job = BtJobAt(row);
    if (!job) return;
    const std::string itemId = job->itemId;
    if (!AskRemove(Hwnd())) return;
    auto shown = [&](const client::BTItem& item) { return item.itemId == itemId; };
    if (std::none_of(current_.btItems.begin(), current_.btItems.end(), shown)) return;
    Framed([&] { return client_.Run(client::OperationKind::RemoveBtItem, client::ItemKeyArg{itemId}); });
}

void CQuarrowDlg::PauseResumeWebFtp(int row) {
    const client::WebFTPItem* job = WebFtpJobAt(row);
    if (!job) return;
    std::string key = client::BuildWebFtpKey(*job);
    bool paused = job->paused != 0;
    Framed([&] {
        return client_.Run(paused ? client::OperationKind::ResumeWebFtpItem : client::OperationKind::PauseWebFtpItem, client::ItemKeyArg{key});
    });
}

void CQuarrowDlg::RemoveWebFtp(int row) {
    const client::WebFTPItem* job = WebFtpJobAt(row);
    if (!job) return;
    const std::string key = client::BuildWebFtpKey(*job);
    if (!AskRemove(Hwnd())) return;
    auto shown = [&](const client::WebFTPItem& item) { return client::BuildWebFtpKey(item) == key; };
    if (std::none_of(current_.webFtpItems.begin(), current_.webFtpItems.end(), shown)) return;
    Framed([&] { return client_.Run(client::OperationKind::RemoveWebFtpItem, client::ItemKeyArg{key}); });
}

// ---------------------------------------------------------------- notification icon

void CQuarrowDlg::AfterFirstConnection() {
    if (!Hwnd() || !::IsWindow(Hwnd())) return;
    NOTIFYICONDATAA icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = Hwnd();
    icon.uID = kTrayIconId;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = kTrayMessage;
    icon.hIcon = static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_TRAY),
                                                 IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                 ::GetSystemMetrics(SM_CYSMICON), 0));
    std::string tip = win::LoadResString(IDS_TRAY_TIP);
    lstrcpynA(icon.szTip, tip.c_str(), sizeof icon.szTip);
    trayIconAdded_ = ::Shell_NotifyIconA(NIM_ADD, &icon) != FALSE;
    if (icon.hIcon) ::DestroyIcon(icon.hIcon);
    // Jobs that ended before the first list (while the program was not
    // running) are told now that there is an icon to tell them from.
    if (!balloonPacing_) ShowNextBalloon();

    g_keyWindow = Hwnd();
    if (!keyHook_) keyHook_ = ::SetWindowsHookExA(WH_GETMESSAGE, KeyHook, nullptr, ::GetCurrentThreadId());
}

void CQuarrowDlg::RemoveTrayIcon() {
    if (keyHook_) {
        ::UnhookWindowsHookEx(keyHook_);
        keyHook_ = nullptr;
        g_keyWindow = nullptr;
    }
    ::KillTimer(Hwnd(), kHandOverTimer);
    StopBalloons();
    if (!trayIconAdded_) return;
    NOTIFYICONDATAA icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = Hwnd();
    icon.uID = kTrayIconId;
    ::Shell_NotifyIconA(NIM_DELETE, &icon);
    trayIconAdded_ = false;
}

INT_PTR CQuarrowDlg::OnTrayNotify(WPARAM id, LPARAM mouse) {
    if (id != kTrayIconId) return TRUE;
    if (mouse == WM_LBUTTONDBLCLK) ::ShowWindow(Hwnd(), SW_SHOW);
    if (mouse == WM_RBUTTONUP && Shared().busyCount == 0) {
        POINT at;
        ::GetCursorPos(&at);
        ::SetForegroundWindow(Hwnd());
        if (HMENU popup = ::GetSubMenu(trayMenu_, 0))
            ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, Hwnd(), nullptr);
        ::PostMessageA(Hwnd(), WM_NULL, 0, 0);  // so that the menu closes when the user clicks elsewhere
    }
    return TRUE;
}

// ---------------------------------------------------------------- hand-over receiver

INT_PTR CQuarrowDlg::OnCopyData(const COPYDATASTRUCT* copy) {
    // The payload comes from another process: anything that does not read
    // cleanly is ignored.
    HandOver handOver;
    if (!copy || !ReadHandOverMessage(copy->lpData, copy->cbData, handOver)) return FALSE;
    if (Shared().busyCount != 0) {
        // The sender saw the window idle, but something started since (the
        // refresh timer, a command): keep the hand-over for when it is idle.
        pendingHandOvers_.Push(std::move(handOver));
        ::ReplyMessage(TRUE);
        if (!pendingHandOvers_.Empty()) ::SetTimer(Hwnd(), kHandOverTimer, kHandOverRetryMs, nullptr);
        return TRUE;
    }
    BusyScope busy(*this);
    ::ReplyMessage(TRUE);  // the texts are ours now; the sender may end
    if (!AddHandedOver(handOver)) pendingHandOvers_.Clear();
    return TRUE;
}

void CQuarrowDlg::TakePendingHandOvers() {
    if (Shared().busyCount != 0) return;
    ::KillTimer(Hwnd(), kHandOverTimer);
    pendingHandOvers_.Drain([this] { return Shared().busyCount == 0 && ::IsWindow(Hwnd()); },
                            [this](const HandOver& next) { return AddHandedOver(next); });
    if (!pendingHandOvers_.Empty()) ::SetTimer(Hwnd(), kHandOverTimer, kHandOverRetryMs, nullptr);
}

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
    if (int result = client_.Run(client::OperationKind::GetDefaultPath, defaultPath); result != 0) return failed(result);
    if (defaultPath.path.empty()) {
        SetDefaultFolder();
        if (int result = client_.Run(client::OperationKind::GetDefaultPath, defaultPath); result != 0) return failed(result);
        if (defaultPath.path.empty()) return true;
    }
    const std::string& folder = defaultPath.path;
    int result = 0;
    if (handOver.kind == kHandOverTorrent) {
        client::SharedFile file = client::OpenTorrentFile(handOver.first);
        if (!file) return failed(IDS_CANNOT_OPEN_FILE);
        result = client_.Run(client::OperationKind::AddBtItemFromFile, client::AddBtFileArg{handOver.first, file, folder, 0});
    } else {
        if (!dialogs::HasUrlScheme(handOver.first)) return failed(IDS_URL_BAD_SCHEME);
        result = client_.Run(client::OperationKind::AddWebFtpItem, client::AddWebFtpArg{handOver.first, handOver.second, folder, "", ""});
    }
    if (result != 0) return failed(result);
    RefreshAfterOperation();
    return true;
}

}  // namespace app
