#include "QuarrowDlg.h"

#include <commctrl.h>

#include <utility>

#include "app/SharedState.h"
#include "resources/resource.h"
#include "common/Dpi.h"
#include "common/Marks.h"
#include "common/WinUtil.h"
#include "dialogs/DialogText.h"
#include "dialogs/LogInDlg.h"
#include "dialogs/SearchServerDlg.h"
#include "settings/Settings.h"

namespace app {

namespace {

UINT g_refreshMs = 0;  // 0: the real period
void (*g_firstList)(HWND) = nullptr;

constexpr UINT kRefreshMs = 60000;
constexpr int kMinWidth = 450;
// The status line, hidden but kept up to date, below both panels.
constexpr int kStateLeft = 11, kStateTop = 583;
constexpr int kRefreshTop = 11, kRefreshFromRight = 31;

void MoveTo(HWND item, int x, int y) {
    ::SetWindowPos(item, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

// Holds the window's drawing while the rows change and draws it once after:
// on screen, each row control would draw itself at every change of its state,
// text or selection, some forty controls a refresh. Nothing in between may
// run a message loop (a message box, a wait dialog). Only a window on screen
// is held: ending the hold marks the window visible, which a window hidden in
// the notification area must not become.
class DrawingHold {
public:
    explicit DrawingHold(HWND window) : window_(::IsWindowVisible(window) ? window : nullptr) {
        if (window_) ::SendMessageA(window_, WM_SETREDRAW, FALSE, 0);
    }
    ~DrawingHold() {
        if (!window_) return;
        ::SendMessageA(window_, WM_SETREDRAW, TRUE, 0);
        ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
    DrawingHold(const DrawingHold&) = delete;
    DrawingHold& operator=(const DrawingHold&) = delete;

private:
    HWND window_;
};

void SetMenuText(HMENU menu, UINT id, UINT textId) {
    std::string text = win::LoadResString(textId);
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;  // the text only: the item keeps its state
    info.dwTypeData = text.data();
    ::SetMenuItemInfoA(menu, id, FALSE, &info);
}

}  // namespace

void CQuarrowDlg::SetRefreshIntervalForTesting(UINT ms) { g_refreshMs = ms; }
void CQuarrowDlg::SetFirstListObserverForTesting(void (*observer)(HWND)) { g_firstList = observer; }

CQuarrowDlg::CQuarrowDlg()
    : host_(std::make_shared<WaitDialogHost>()),
      client_(host_),
      btPanel_(kBtJobs, IDC_MAIN_REFRESH),
      webPanel_(kWebFtpJobs, IDC_MAIN_REFRESH),
      notifier_(tray_),
      handOvers_(*this, [this](const HandOver& handOver) { return AddHandedOver(handOver); }) {
    // The login asks with the login dialog and remembers per server address.
    client_.SetLoginHooks({std::make_shared<settings::RegistryLoginStore>(), dialogs::LogInDialogFactory()});
    OnTimer([this](UINT_PTR id) {
        if (id == kRefreshTimer && client_.IsConnected()) Refresh();
        if (id == kHandOverTimer) handOvers_.OnTimer();
        if (id == kBalloonTimer) notifier_.OnTimer();
        PassToDefault();
    });
    OnMessage(WM_SIZE, [this](WPARAM type, LPARAM size) {
        if (layoutReady_ && type != SIZE_MINIMIZED) Layout(static_cast<short>(LOWORD(size)));
        PassToDefault();
        return INT_PTR(0);
    });
    OnMessage(WM_SIZING, [this](WPARAM edge, LPARAM lp) {
        auto* rect = reinterpret_cast<RECT*>(lp);
        const int minWidth = win::ScaleToDpi(kMinWidth, dpi_);
        if (rect && rect->right - rect->left < minWidth) {
            if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT)
                rect->left = rect->right - minWidth;
            else if (edge == WMSZ_RIGHT || edge == WMSZ_TOPRIGHT || edge == WMSZ_BOTTOMRIGHT)
                rect->right = rect->left + minWidth;
        }
        return INT_PTR(TRUE);
    });
    // Moved to a display of another scale: the new scale, in the rectangle
    // the system proposes for it.
    OnMessage(WM_DPICHANGED, [this](WPARAM wp, LPARAM lp) {
        const auto* suggested = reinterpret_cast<const RECT*>(lp);
        const UINT dpi = LOWORD(wp);
        if (!layoutReady_ || !suggested || dpi == 0) return INT_PTR(0);
        // The lists measure their rows when the move resizes them.
        dpi_ = dpi;
        btPanel_.SetDpi(dpi);
        webPanel_.SetDpi(dpi);
        ::SetWindowPos(Hwnd(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        ApplyDpi(dpi);
        return INT_PTR(0);
    });
    OnMessage(WM_PAINT, [this](WPARAM, LPARAM) {
        if (::IsIconic(Hwnd())) {
            PaintIcon();
            return INT_PTR(0);
        }
        btPanel_.InvalidateList();
        webPanel_.InvalidateList();
        PassToDefault();
        return INT_PTR(0);
    });
    OnMessage(WM_QUERYDRAGICON, [this](WPARAM, LPARAM) { return reinterpret_cast<INT_PTR>(icon_.Get()); });
    // The action columns keep their widths whatever the user drags.
    for (UINT code : {HDN_DIVIDERDBLCLICKA, HDN_TRACKA, HDN_DIVIDERDBLCLICKW, HDN_TRACKW})
        OnNotify(0, code, [this](NMHDR* header) {
            btPanel_.KeepActionColumns(header->hwndFrom);
            webPanel_.KeepActionColumns(header->hwndFrom);
            return INT_PTR(0);
        });
    OnMessage(WM_DESTROY, [this](WPARAM, LPARAM) {
        ::KillTimer(Hwnd(), kRefreshTimer);
        UnhookRefreshKey();
        handOvers_.Stop();
        notifier_.Stop();
        tray_.Remove();
        // A later hand-over must not find this handle: it may soon name
        // another program's window. Cleared only if it is still ours.
        ::InterlockedCompareExchange(&Shared().mainWindow, 0, static_cast<LONG>(reinterpret_cast<LONG_PTR>(Hwnd())));
        PassToDefault();
        return INT_PTR(0);
    });
    RegisterCommands();
}

CQuarrowDlg::~CQuarrowDlg() = default;

void CQuarrowDlg::LoadIcons() {
    // The window lets go of the old icons before they are destroyed.
    auto load = [this](int width, int height) {
        return static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_QUARROW), IMAGE_ICON,
                                               win::SystemMetricAt(width, dpi_), win::SystemMetricAt(height, dpi_), 0));
    };
    win::Icon large(load(SM_CXICON, SM_CYICON)), small(load(SM_CXSMICON, SM_CYSMICON));
    ::SendMessageA(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large.Get()));
    ::SendMessageA(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
    icon_ = std::move(large);
    smallIcon_ = std::move(small);
}

void CQuarrowDlg::SetHeadingFont(HWND source) {
    LOGFONTA font = {};
    if (!::GetObjectA(reinterpret_cast<HGDIOBJ>(::SendMessageA(source, WM_GETFONT, 0, 0)), sizeof font, &font)) return;
    font.lfWeight = FW_BOLD;
    win::GdiObject bold(::CreateFontIndirectA(&font));
    btPanel_.SetHeadingFont(static_cast<HFONT>(bold.Get()));
    webPanel_.SetHeadingFont(static_cast<HFONT>(bold.Get()));
    headingFont_ = std::move(bold);
}

void CQuarrowDlg::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    LoadIcons();
    // The headings' bold font follows the dialog's font at this scale.
    SetHeadingFont(Hwnd());
    RECT client = {};
    ::GetClientRect(Hwnd(), &client);
    for (CJobPanel* panel : {&btPanel_, &webPanel_}) {
        panel->SetDpi(dpi);
        panel->SetColumnWidths();
    }
    // The panels again from the top; the rows then give the fillers their tops.
    Layout(client.right);
    for (CJobPanel* panel : {&btPanel_, &webPanel_}) panel->ResetFiller(client.right);
    ShowRows();
    if (current_.connected) {
        btPanel_.FillRows();
        webPanel_.FillRows();
    }
}

void CQuarrowDlg::EnterBusy() {
    if (Hwnd()) ::KillTimer(Hwnd(), kRefreshTimer);
    ::InterlockedIncrement(&Shared().busyCount);
}

void CQuarrowDlg::LeaveBusy() {
    if (::InterlockedDecrement(&Shared().busyCount) == 0 && Hwnd())
        ::SetTimer(Hwnd(), kRefreshTimer, g_refreshMs ? g_refreshMs : kRefreshMs, nullptr);
}

bool CQuarrowDlg::AcceptsCommand(int, UINT) {
    // Buttons and menus are out of reach while busy (a modal dialog disables
    // the window), but a command posted by another program still arrives; run
    // inside another operation it would find the client in use and drop the
    // connection. Ignored, as F5 is.
    return Idle();
}

BOOL CQuarrowDlg::OnInitDialog() {
    win::Mark("dialog created");
    BusyScope busy(*this);
    Shared().mainWindow = static_cast<LONG>(reinterpret_cast<LONG_PTR>(Hwnd()));
    host_->SetFallbackOwner(Hwnd());

    std::string about = win::LoadResString(IDS_ABOUTBOX);
    if (HMENU system = ::GetSystemMenu(Hwnd(), FALSE); system && !about.empty()) {
        ::AppendMenuA(system, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(system, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
    dpi_ = win::DpiOfWindow(Hwnd());
    LoadIcons();

    win::Mark("icons");
    btPanel_.Attach(Hwnd(), dpi_);
    webPanel_.Attach(Hwnd(), dpi_);
    win::Mark("panels attached");
    tray_.Attach(Hwnd(), IDR_TRAY_MENU);
    ShowItem(IDC_MAIN_STATE, false);
    notifier_.Attach(Hwnd(), kBalloonTimer);
    handOvers_.Attach(Hwnd(), kHandOverTimer);

    ::SetWindowTextA(Hwnd(), win::LoadResString(IDS_MAIN_CAPTION).c_str());
    SetItemText(IDC_MAIN_REFRESH, win::LoadResString(IDS_MAIN_REFRESH));
    SetHeadingFont(Item(IDC_MAIN_BT_HEADING));

    win::Mark("texts");
    RECT client = {};
    ::GetClientRect(Hwnd(), &client);
    Layout(client.right);
    for (CJobPanel* panel : {&btPanel_, &webPanel_}) panel->ResetFiller(client.right);
    layoutReady_ = true;
    // Once more only if placing the parts changed the client area.
    const int width = client.right;
    ::GetClientRect(Hwnd(), &client);
    if (client.right != width) Layout(client.right);

    win::Mark("laid out");
    // The disconnected state before the window is shown: changed on screen,
    // every row control would draw itself at each change. Not needed when the
    // connection made ahead is in with the server's status: the window is
    // then filled before anything draws it.
    if (!client_.AheadReady()) {
        SetDisconnected();
        EnableControls();
        ShowRows();
        ApplyStatus();
    }
    win::Mark("disconnected state");
    // Shown now, so that the connection's wait dialog and messages have their
    // window behind them.
    ::SetWindowPos(Hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::SetWindowPos(Hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    win::Mark("shown");

    ConnectToServer();
    AfterFirstConnection();
    return FALSE;  // the focus is where the rows put it
}

void CQuarrowDlg::Layout(int w) {
    const auto px = [this](int pixels) { return win::ScaleToDpi(pixels, dpi_); };
    RECT refresh = {};
    ::GetWindowRect(Item(IDC_MAIN_REFRESH), &refresh);
    MoveTo(Item(IDC_MAIN_REFRESH), w - px(kRefreshFromRight) - (refresh.right - refresh.left), px(kRefreshTop));
    MoveTo(Item(IDC_MAIN_STATE), px(kStateLeft), px(kStateTop));
    btPanel_.Layout(w);
    webPanel_.Layout(w);
    ::InvalidateRect(Hwnd(), nullptr, TRUE);
}

void CQuarrowDlg::ShowMessage(int resultCode) {
    if (resultCode != 0) CDialog::ShowMessage(static_cast<UINT>(resultCode));
}

void CQuarrowDlg::PaintIcon() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(Hwnd(), &paint);
    ::SendMessageA(Hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(Hwnd(), &client);
    int cx = win::SystemMetricAt(SM_CXICON, dpi_), cy = win::SystemMetricAt(SM_CYICON, dpi_);
    ::DrawIconEx(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, icon_.Get(), cx, cy, 0, nullptr,
                 DI_NORMAL);
    ::EndPaint(Hwnd(), &paint);
}

int CQuarrowDlg::ConnectTo(const std::string& address, const std::string& display) {
    int result = client_.Run(client::OperationKind::Connect, client::ConnectArg{display, address});
    win::Mark("connected");
    if (result != 0) return result;
    serverAddress_ = address;
    ::SetWindowTextA(Hwnd(), dialogs::FormatWithText(win::LoadResString(IDS_MAIN_CAPTION_FMT), display).c_str());
    RefreshAfterOperation();
    return 0;
}

void CQuarrowDlg::ConnectAhead() {
    std::string address, display;
    if (dialogs::CSearchServerDlg::RememberedServer(address, display)) client_.StartAhead({display, address});
}

void CQuarrowDlg::ConnectToServer() {
    BusyScope busy(*this);
    // The remembered server at the first connection of the run, else the
    // user's choice; giving up the choice ends the program.
    dialogs::CSearchServerDlg selection;
    std::string address = selection.GetServer(Hwnd());
    std::string display = selection.DisplayText();
    while (!address.empty()) {
        int result = ConnectTo(address, display);
        if (result == 0) break;
        ShowMessage(result);
        dialogs::CSearchServerDlg again;
        address = again.AskServer(Hwnd());
        display = again.DisplayText();
    }
    if (address.empty()) End(IDOK);
}

void CQuarrowDlg::Refresh() {
    BusyScope busy(*this);
    if (!client_.IsConnected())
        ConnectToServer();
    else
        RefreshAfterOperation();
}

void CQuarrowDlg::RefreshAfterOperation() {
    client::ServerStatus status;
    win::Mark("refresh");
    int result = client_.Run(client::OperationKind::RefreshStatus, status);
    win::Mark("status in");
    if (result != 0) {
        SetDisconnected();
        ShowMessage(result);
    }
    {
        DrawingHold hold(Hwnd());
        if (result == 0) {
            TakeOverJobs(status, current_);
            current_.stateText = win::LoadResString(IDS_STATE_READY);
            current_.connected = 1;
            btPanel_.TakeJobs(current_);
            webPanel_.TakeJobs(current_);
        }
        EnableControls();
        ShowRows();
        ApplyStatus();
    }
    win::Mark("rows filled");
    if (result == 0) notifier_.OnStatus(serverAddress_, current_);
    if (g_firstList && current_.connected) {
        ::UpdateWindow(Hwnd());
        win::Mark("lists drawn");
        std::exchange(g_firstList, nullptr)(Hwnd());
    }
}

void CQuarrowDlg::SetDisconnected() {
    client_.Disconnect();
    ::SetWindowTextA(Hwnd(), win::LoadResString(IDS_MAIN_CAPTION).c_str());
    current_ = CurrentStatus();
    current_.stateText = win::LoadResString(IDS_STATE_DISCONNECTED);
    btPanel_.TakeJobs(current_);
    webPanel_.TakeJobs(current_);
}

void CQuarrowDlg::EnableControls() {
    const bool on = current_.connected != 0;
    btPanel_.Enable(on);
    webPanel_.Enable(on);
    // Torrent files can be dropped onto the window whenever Add can be pressed.
    ::DragAcceptFiles(Hwnd(), on ? TRUE : FALSE);
    // Disabled, not greyed, as the menus have always shown it.
    UINT state = MF_BYCOMMAND | (on ? MF_ENABLED : MF_DISABLED);
    if (HMENU settings = ::GetSubMenu(::GetMenu(Hwnd()), 1))
        for (UINT id : {ID_MENU_TOGGLE_BT, ID_MENU_TOGGLE_WEBFTP, ID_MENU_DEFAULT_PATH})
            ::EnableMenuItem(settings, id, state);
    if (HMENU tray = tray_.Menu())
        for (UINT id : {ID_TRAY_TOGGLE_BT, ID_TRAY_TOGGLE_WEBFTP}) ::EnableMenuItem(tray, id, state);
    ::DrawMenuBar(Hwnd());
}

void CQuarrowDlg::ShowRows() {
    btPanel_.ShowRows();
    webPanel_.ShowRows();
}

void CQuarrowDlg::SetToggleTexts(bool btOn, bool webFtpOn) {
    if (HMENU settings = ::GetSubMenu(::GetMenu(Hwnd()), 1)) {
        SetMenuText(settings, ID_MENU_TOGGLE_BT, btOn ? IDS_MENU_DISABLE_BT : IDS_MENU_ENABLE_BT);
        SetMenuText(settings, ID_MENU_TOGGLE_WEBFTP, webFtpOn ? IDS_MENU_DISABLE_WEBFTP : IDS_MENU_ENABLE_WEBFTP);
    }
    if (HMENU tray = tray_.Menu()) {
        SetMenuText(tray, ID_TRAY_TOGGLE_BT, btOn ? IDS_TRAY_DISABLE_BT : IDS_TRAY_ENABLE_BT);
        SetMenuText(tray, ID_TRAY_TOGGLE_WEBFTP, webFtpOn ? IDS_TRAY_DISABLE_WEBFTP : IDS_TRAY_ENABLE_WEBFTP);
    }
    ::DrawMenuBar(Hwnd());
}

void CQuarrowDlg::ApplyStatus() {
    SetItemText(IDC_MAIN_STATE, current_.stateText);
    const bool connected = current_.connected != 0;
    SetToggleTexts(connected && current_.btOn != 0, connected && current_.webFtpOn != 0);
    for (CJobPanel* panel : {&btPanel_, &webPanel_})
        panel->ApplyStatus(connected, current_.*(panel->Kind().serviceOn) != 0);
}

}  // namespace app
