#include "QuarrowDlg.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "app/SharedState.h"
#include "app/resource.h"
#include "common/Dpi.h"
#include "common/WinUtil.h"
#include "dialogs/LogInDlg.h"
#include "dialogs/SearchServerDlg.h"
#include "settings/Settings.h"

namespace app {

namespace {

UINT g_refreshMs = 0;  // 0: the real period
void (*g_firstList)(HWND) = nullptr;

constexpr int kRows = CMyListCtrl::kRows;
constexpr int kBtColumns = 7, kWebColumns = 6;

// Client-pixel layout at 100 % (other display scales scale it); everything
// right of the lists follows the width W.
constexpr int kMargin = 11;
constexpr int kPanel = 239;       // the row panel starts at W - kPanel
constexpr int kPanelWidth = 208;
constexpr int kBtTop = 36, kWebTop = 322, kListHeight = 241, kHeaderHeight = 21;
constexpr int kRowHeight = CMyListCtrl::kRowHeight;
constexpr int kBtActionWidth = 68, kWebActionWidth = 102, kJobColumnWidth = 100;

std::string Format(UINT formatId, const std::string& argument) {
    std::string format = win::LoadResString(formatId);
    size_t at = format.find("%s");
    return at == std::string::npos ? format : format.substr(0, at) + argument + format.substr(at + 2);
}

void AddColumns(HWND list, std::initializer_list<UINT> textIds, int width) {
    int index = 0;
    for (UINT id : textIds) {
        std::string text = win::LoadResString(id);
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
        column.fmt = LVCFMT_LEFT;
        column.cx = width;
        column.pszText = text.data();
        ::SendMessageA(list, LVM_INSERTCOLUMNA, index++, reinterpret_cast<LPARAM>(&column));
    }
}

void Place(HWND item, int x, int y, int w, int h) {
    ::SetWindowPos(item, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MoveTo(HWND item, int x, int y) {
    ::SetWindowPos(item, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

// A control's rectangle in its dialog's client coordinates.
RECT ClientRectOf(HWND dialog, HWND item) {
    RECT rect = {};
    ::GetWindowRect(item, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

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
      btScroll_(*this, IDC_MAIN_BT_SCROLL),
      webScroll_(*this, IDC_MAIN_WEB_SCROLL) {
    // The login asks with the login dialog and remembers per server address.
    client_.SetLoginHooks({std::make_shared<settings::RegistryLoginStore>(),
                           dialogs::LogInDialogFactory()});
    OnTimer([this](UINT_PTR id) {
        if (id == kRefreshTimer && client_.IsConnected()) Refresh();
        if (id == kHandOverTimer) TakePendingHandOvers();
        if (id == kBalloonTimer) ShowNextBalloon();
        PassToDefault();
    });
    OnMessage(WM_SIZE, [this](WPARAM type, LPARAM size) {
        if (layoutReady_ && type != SIZE_MINIMIZED) Layout(static_cast<short>(LOWORD(size)));
        PassToDefault();
        return INT_PTR(0);
    });
    OnMessage(WM_SIZING, [this](WPARAM edge, LPARAM lp) {
        auto* rect = reinterpret_cast<RECT*>(lp);
        const int minWidth = Px(kMinWidth);
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
        btList_.SetDpi(dpi);
        webList_.SetDpi(dpi);
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
        ::InvalidateRect(Item(IDC_MAIN_BT_LIST), nullptr, TRUE);
        ::InvalidateRect(Item(IDC_MAIN_WEB_LIST), nullptr, TRUE);
        PassToDefault();
        return INT_PTR(0);
    });
    OnMessage(WM_QUERYDRAGICON, [this](WPARAM, LPARAM) { return reinterpret_cast<INT_PTR>(icon_); });
    // The action columns keep their widths whatever the user drags.
    for (UINT code : {HDN_DIVIDERDBLCLICKA, HDN_TRACKA, HDN_DIVIDERDBLCLICKW, HDN_TRACKW})
        OnNotify(0, code, [this](NMHDR* header) { return KeepActionColumns(header); });
    // Enter and Escape do not close the window.
    OnClicked(IDOK, [] {});
    OnClicked(IDCANCEL, [] {});
    OnClicked(IDC_MAIN_REFRESH, [this] { Refresh(); });
    OnClicked(ID_MENU_REFRESH, [this] { Refresh(); });
    OnClicked(ID_MENU_EXIT, [this] { End(IDOK); });
    OnMessage(WM_DESTROY, [this](WPARAM, LPARAM) {
        ::KillTimer(Hwnd(), kRefreshTimer);
        RemoveTrayIcon();
        // A later hand-over must not find this handle: it may soon name
        // another program's window. Cleared only if it is still ours.
        ::InterlockedCompareExchange(&Shared().mainWindow, 0, static_cast<LONG>(reinterpret_cast<LONG_PTR>(Hwnd())));
        PassToDefault();
        return INT_PTR(0);
    });
    OnMessage(WM_DROPFILES, [this](WPARAM drop, LPARAM) {
        OnDropFiles(reinterpret_cast<HDROP>(drop));
        return INT_PTR(0);
    });
    // Closing hides the window, the menus' commands, the hand-over.
    RegisterCommands();
}

CQuarrowDlg::~CQuarrowDlg() {
    if (trayMenu_) ::DestroyMenu(trayMenu_);
    for (HICON icon : {icon_, smallIcon_})
        if (icon) ::DestroyIcon(icon);
}

int CQuarrowDlg::Px(int pixels) const { return win::ScaleToDpi(pixels, dpi_); }

void CQuarrowDlg::LoadIcons() {
    HICON large = icon_, small = smallIcon_;
    auto load = [this](int width, int height) {
        return static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_QUARROW), IMAGE_ICON,
                                               win::SystemMetricAt(width, dpi_), win::SystemMetricAt(height, dpi_),
                                               0));
    };
    icon_ = load(SM_CXICON, SM_CYICON);
    smallIcon_ = load(SM_CXSMICON, SM_CYSMICON);
    ::SendMessageA(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    ::SendMessageA(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    for (HICON old : {large, small})
        if (old) ::DestroyIcon(old);
}

void CQuarrowDlg::ApplyDpi(UINT dpi) {
    dpi_ = dpi;
    btList_.SetDpi(dpi);
    webList_.SetDpi(dpi);
    LoadIcons();
    // The headings' bold font follows the dialog's font at this scale.
    LOGFONTA font = {};
    if (::GetObjectA(reinterpret_cast<HGDIOBJ>(::SendMessageA(Hwnd(), WM_GETFONT, 0, 0)), sizeof font, &font)) {
        font.lfWeight = FW_BOLD;
        win::GdiObject bold(::CreateFontIndirectA(&font));
        for (int id : {IDC_MAIN_BT_HEADING, IDC_MAIN_WEB_HEADING})
            ::SendMessageA(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(bold.Get()), TRUE);
        headingFont_ = std::move(bold);
    }
    for (HWND list : {Item(IDC_MAIN_BT_LIST), Item(IDC_MAIN_WEB_LIST)}) {
        HWND header = ListView_GetHeader(list);
        for (int c = 0, n = header ? Header_GetItemCount(header) : 0; c < n; ++c)
            ListView_SetColumnWidth(list, c, Px(kJobColumnWidth));
    }
    for (int c = 0; c < 3; ++c) ListView_SetColumnWidth(Item(IDC_MAIN_BT_ACTIONS), c, Px(kBtActionWidth));
    for (int c = 0; c < 2; ++c) ListView_SetColumnWidth(Item(IDC_MAIN_WEB_ACTIONS), c, Px(kWebActionWidth));
    // The panels again from the top; the rows then give the fillers their tops.
    RECT client = {};
    ::GetClientRect(Hwnd(), &client);
    Layout(client.right);
    Place(Item(IDC_MAIN_BT_FILLER), client.right - Px(kPanel), Px(kBtTop + kHeaderHeight), Px(kPanelWidth),
          kRows * Px(kRowHeight));
    Place(Item(IDC_MAIN_WEB_FILLER), client.right - Px(kPanel), Px(kWebTop + kHeaderHeight), Px(kPanelWidth),
          kRows * Px(kRowHeight));
    ShowRows();
    if (current_.connected) {
        FillBtRows();
        FillWebFtpRows();
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
    return Shared().busyCount == 0;
}

BOOL CQuarrowDlg::OnInitDialog() {
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

    // The rows are measured while the lists are attached: at the window's scale.
    btList_.SetDpi(dpi_);
    webList_.SetDpi(dpi_);
    btList_.AttachItem(Hwnd(), IDC_MAIN_BT_LIST);
    webList_.AttachItem(Hwnd(), IDC_MAIN_WEB_LIST);
    btScroll_.AttachItem(Hwnd(), IDC_MAIN_BT_SCROLL);
    webScroll_.AttachItem(Hwnd(), IDC_MAIN_WEB_SCROLL);
    btList_.EnableTips(true, true, false);   // "Name", "Contents"
    webList_.EnableTips(true, false, true);  // "File Name", "URL"

    trayMenu_ = ::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_TRAY_MENU));
    ::ShowWindow(Item(IDC_MAIN_STATE), SW_HIDE);
    InitNotify();

    SetWindowTextA(Hwnd(), win::LoadResString(IDS_MAIN_CAPTION).c_str());
    SetItemText(IDC_MAIN_BT_HEADING, win::LoadResString(IDS_MAIN_BT_HEADING));
    SetItemText(IDC_MAIN_WEB_HEADING, win::LoadResString(IDS_MAIN_WEBFTP_HEADING));
    SetItemText(IDC_MAIN_BT_ADD, win::LoadResString(IDS_MAIN_BT_ADD));
    SetItemText(IDC_MAIN_WEB_ADD, win::LoadResString(IDS_MAIN_WEBFTP_ADD));
    SetItemText(IDC_MAIN_REFRESH, win::LoadResString(IDS_MAIN_REFRESH));
    CreateColumns();
    for (int r = 0; r < kRows; ++r) {
        HWND box = Item(IDC_BT_PRIORITY_FIRST + r);
        for (UINT id : {IDS_PRIORITY_HIGH, IDS_PRIORITY_NORMAL, IDS_PRIORITY_LOW})
            ::SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win::LoadResString(id).c_str()));
        SetItemText(IDC_BT_REMOVE_FIRST + r, win::LoadResString(IDS_BT_REMOVE));
        SetItemText(IDC_WEB_REMOVE_FIRST + r, win::LoadResString(IDS_WEBFTP_REMOVE));
    }

    // Both headings in a bold form of the font they have.
    LOGFONTA font = {};
    if (::GetObjectA(reinterpret_cast<HGDIOBJ>(::SendMessageA(Item(IDC_MAIN_BT_HEADING), WM_GETFONT, 0, 0)),
                     sizeof font, &font)) {
        font.lfWeight = FW_BOLD;
        headingFont_.Attach(::CreateFontIndirectA(&font));
        for (int id : {IDC_MAIN_BT_HEADING, IDC_MAIN_WEB_HEADING})
            ::SendMessageA(Item(id), WM_SETFONT, reinterpret_cast<WPARAM>(headingFont_.Get()), TRUE);
    }

    RECT client = {};
    ::GetClientRect(Hwnd(), &client);
    Layout(client.right);
    Place(Item(IDC_MAIN_BT_FILLER), client.right - Px(kPanel), Px(kBtTop + kHeaderHeight), Px(kPanelWidth),
          kRows * Px(kRowHeight));
    Place(Item(IDC_MAIN_WEB_FILLER), client.right - Px(kPanel), Px(kWebTop + kHeaderHeight), Px(kPanelWidth),
          kRows * Px(kRowHeight));
    layoutReady_ = true;
    ::GetClientRect(Hwnd(), &client);
    Layout(client.right);

    SetDisconnected();
    // Shown now, so that the connection's wait dialog and messages have their
    // window behind them.
    ::SetWindowPos(Hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::SetWindowPos(Hwnd(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    for (HWND list : {Item(IDC_MAIN_BT_LIST), Item(IDC_MAIN_WEB_LIST)}) {
        for (int r = 0; r < kRows; ++r) {
            LVITEMA item = {};
            item.iItem = r;
            ::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
    }
    EnableControls();
    ShowRows();
    ApplyStatus();
    ::RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);

    ConnectToServer();
    AfterFirstConnection();
    return FALSE;  // the focus is where the rows put it
}

void CQuarrowDlg::CreateColumns() {
    AddColumns(Item(IDC_MAIN_BT_LIST),
               {IDS_BTCOL_NAME, IDS_BTCOL_CONTENTS, IDS_BTCOL_REMAINING_TIME, IDS_BTCOL_TOTAL_SIZE, IDS_BTCOL_SCHEDULE,
                IDS_BTCOL_THROUGHPUT, IDS_BTCOL_STATUS},
               Px(kJobColumnWidth));
    AddColumns(Item(IDC_MAIN_BT_ACTIONS), {IDS_BTACT_PRIORITY, IDS_BTACT_ACTION, IDS_BTACT_REMOVE},
               Px(kBtActionWidth));
    AddColumns(Item(IDC_MAIN_WEB_LIST),
               {IDS_WEBCOL_FILE_NAME, IDS_WEBCOL_SIZE, IDS_WEBCOL_LOAD_SIZE, IDS_WEBCOL_STATUS, IDS_WEBCOL_SAVE_PATH,
                IDS_WEBCOL_URL},
               Px(kJobColumnWidth));
    AddColumns(Item(IDC_MAIN_WEB_ACTIONS), {IDS_WEBACT_ACTION, IDS_WEBACT_REMOVE}, Px(kWebActionWidth));
}

void CQuarrowDlg::Layout(int w) {
    MoveTo(Item(IDC_MAIN_BT_HEADING), Px(kMargin), Px(11));
    MoveTo(Item(IDC_MAIN_BT_ADD), Px(200), Px(11));
    RECT refresh = ClientRectOf(Hwnd(), Item(IDC_MAIN_REFRESH));
    MoveTo(Item(IDC_MAIN_REFRESH), w - Px(31) - (refresh.right - refresh.left), Px(11));
    MoveTo(Item(IDC_MAIN_WEB_HEADING), Px(kMargin), Px(297));
    MoveTo(Item(IDC_MAIN_WEB_ADD), Px(200), Px(297));
    MoveTo(Item(IDC_MAIN_STATE), Px(kMargin), Px(583));

    const int panel = w - Px(kPanel), header = Px(kHeaderHeight), row = Px(kRowHeight);
    const int btTop = Px(kBtTop), webTop = Px(kWebTop), panelWidth = Px(kPanelWidth);
    int listWidth = std::max(panel - Px(kMargin), 0);
    Place(Item(IDC_MAIN_BT_LIST), Px(kMargin), btTop, listWidth, Px(kListHeight));
    Place(Item(IDC_MAIN_WEB_LIST), Px(kMargin), webTop, listWidth, Px(kListHeight));
    Place(Item(IDC_MAIN_BT_ACTIONS), panel, btTop, panelWidth, header);
    Place(Item(IDC_MAIN_WEB_ACTIONS), panel, webTop, panelWidth, header);
    Place(Item(IDC_MAIN_BT_SCROLL), w - Px(30), btTop + header, Px(20), kRows * row);
    Place(Item(IDC_MAIN_WEB_SCROLL), w - Px(30), webTop + header, Px(20), kRows * row);
    // The fillers keep the height that the number of jobs gave them.
    for (int id : {IDC_MAIN_BT_FILLER, IDC_MAIN_WEB_FILLER}) {
        RECT filler = ClientRectOf(Hwnd(), Item(id));
        MoveTo(Item(id), panel, filler.top);
    }
    const int btAction = Px(kBtActionWidth), webAction = Px(kWebActionWidth);
    for (int r = 0; r < kRows; ++r) {
        int bt = btTop + header + r * row, web = webTop + header + r * row;
        // A drop-down list's height includes its list; the field itself is
        // as high as the row.
        Place(Item(IDC_BT_PRIORITY_FIRST + r), panel, bt, btAction, 5 * row);
        Place(Item(IDC_BT_ACTION_FIRST + r), w - Px(171), bt, btAction, row);
        Place(Item(IDC_BT_REMOVE_FIRST + r), w - Px(99), bt, btAction, row);
        Place(Item(IDC_WEB_ACTION_FIRST + r), panel, web, webAction, row);
        Place(Item(IDC_WEB_REMOVE_FIRST + r), w - Px(137), web, webAction, row);
    }
    ::InvalidateRect(Hwnd(), nullptr, TRUE);
}

void CQuarrowDlg::ShowMessage(int resultCode) {
    if (resultCode == 0) return;
    ::MessageBoxA(Hwnd(), win::LoadResString(resultCode).c_str(), win::LoadResString(IDS_MAIN_CAPTION).c_str(), MB_OK);
}

void CQuarrowDlg::PaintIcon() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(Hwnd(), &paint);
    ::SendMessageA(Hwnd(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(Hwnd(), &client);
    int cx = win::SystemMetricAt(SM_CXICON, dpi_), cy = win::SystemMetricAt(SM_CYICON, dpi_);
    ::DrawIconEx(dc, (client.right - cx + 1) / 2, (client.bottom - cy + 1) / 2, icon_, cx, cy, 0, nullptr, DI_NORMAL);
    ::EndPaint(Hwnd(), &paint);
}

INT_PTR CQuarrowDlg::KeepActionColumns(NMHDR* header) {
    ::EnableWindow(Item(IDC_MAIN_BT_ACTIONS), FALSE);
    ::EnableWindow(Item(IDC_MAIN_WEB_ACTIONS), FALSE);
    HWND list = ::GetParent(header->hwndFrom);
    if (list && list == Item(IDC_MAIN_BT_ACTIONS))
        for (int c = 0; c < 3; ++c) ListView_SetColumnWidth(list, c, Px(kBtActionWidth));
    if (list && list == Item(IDC_MAIN_WEB_ACTIONS))
        for (int c = 0; c < 2; ++c) ListView_SetColumnWidth(list, c, Px(kWebActionWidth));
    return 0;
}

void CQuarrowDlg::ConnectToServer() {
    BusyScope busy(*this);
    // The remembered server at the first connection of the run, else the
    // user's choice; giving up the choice ends the program.
    dialogs::CSearchServerDlg selection;
    std::string address = selection.GetServer(Hwnd());
    std::string display = selection.DisplayText();
    while (!address.empty()) {
        int result = client_.Run(client::OperationKind::Connect, client::ConnectArg{display, address});
        if (result == 0) {
            serverAddress_ = address;
            ::SetWindowTextA(Hwnd(), Format(IDS_MAIN_CAPTION_FMT, display).c_str());
            RefreshAfterOperation();
            break;
        }
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
    int result = client_.Run(client::OperationKind::RefreshStatus, status);
    if (result != 0) {
        SetDisconnected();
        ShowMessage(result);
    } else {
        TakeOverJobs(status, current_);
        current_.stateText = win::LoadResString(IDS_STATE_READY);
        current_.connected = 1;
    }
    EnableControls();
    ShowRows();
    ApplyStatus();
    if (result == 0) NotifyEndedJobs();
    if (g_firstList && current_.connected) {
        ::UpdateWindow(Hwnd());
        std::exchange(g_firstList, nullptr)(Hwnd());
    }
}

void CQuarrowDlg::SetDisconnected() {
    client_.Disconnect();
    ::SetWindowTextA(Hwnd(), win::LoadResString(IDS_MAIN_CAPTION).c_str());
    current_ = CurrentStatus();
    current_.stateText = win::LoadResString(IDS_STATE_DISCONNECTED);
}

void CQuarrowDlg::EnableControls() {
    BOOL on = current_.connected ? TRUE : FALSE;
    for (int id : {IDC_MAIN_BT_ADD, IDC_MAIN_WEB_ADD, IDC_MAIN_BT_ACTIONS, IDC_MAIN_WEB_ACTIONS, IDC_MAIN_BT_SCROLL,
                   IDC_MAIN_WEB_SCROLL})
        ::EnableWindow(Item(id), on);
    for (int r = 0; r < kRows; ++r)
        for (int first : {IDC_BT_PRIORITY_FIRST, IDC_BT_ACTION_FIRST, IDC_BT_REMOVE_FIRST, IDC_WEB_ACTION_FIRST,
                          IDC_WEB_REMOVE_FIRST})
            ::EnableWindow(Item(first + r), on);
    // Torrent files can be dropped onto the window whenever Add can be pressed.
    ::DragAcceptFiles(Hwnd(), on);
    // Disabled, not greyed, as the menus have always shown it.
    UINT state = MF_BYCOMMAND | (on ? MF_ENABLED : MF_DISABLED);
    if (HMENU settings = ::GetSubMenu(::GetMenu(Hwnd()), 1))
        for (UINT id : {ID_MENU_TOGGLE_BT, ID_MENU_TOGGLE_WEBFTP, ID_MENU_DEFAULT_PATH})
            ::EnableMenuItem(settings, id, state);
    if (HMENU tray = ::GetSubMenu(trayMenu_, 0))
        for (UINT id : {ID_TRAY_TOGGLE_BT, ID_TRAY_TOGGLE_WEBFTP}) ::EnableMenuItem(tray, id, state);
    ::DrawMenuBar(Hwnd());
}

void CQuarrowDlg::ShowRows() {
    struct Panel {
        size_t jobs;
        std::initializer_list<int> firsts;
        int actionFirst, filler;
    };
    for (const Panel& panel :
         {Panel{current_.btItems.size(), {IDC_BT_PRIORITY_FIRST, IDC_BT_ACTION_FIRST, IDC_BT_REMOVE_FIRST},
                IDC_BT_ACTION_FIRST, IDC_MAIN_BT_FILLER},
          Panel{current_.webFtpItems.size(), {IDC_WEB_ACTION_FIRST, IDC_WEB_REMOVE_FIRST}, IDC_WEB_ACTION_FIRST,
                IDC_MAIN_WEB_FILLER}}) {
        int shown = static_cast<int>(std::min<size_t>(panel.jobs, kRows));
        for (int r = 0; r < kRows; ++r)
            for (int first : panel.firsts) ::ShowWindow(Item(first + r), r < shown ? SW_SHOW : SW_HIDE);
        RECT filler = ClientRectOf(Hwnd(), Item(panel.filler));
        int top = filler.bottom;
        if (shown < kRows) top = ClientRectOf(Hwnd(), Item(panel.actionFirst + shown)).top;
        Place(Item(panel.filler), filler.left, top, filler.right - filler.left, filler.bottom - top);
    }
}

void CQuarrowDlg::SetToggleTexts(bool btOn, bool webFtpOn) {
    if (HMENU settings = ::GetSubMenu(::GetMenu(Hwnd()), 1)) {
        SetMenuText(settings, ID_MENU_TOGGLE_BT, btOn ? IDS_MENU_DISABLE_BT : IDS_MENU_ENABLE_BT);
        SetMenuText(settings, ID_MENU_TOGGLE_WEBFTP, webFtpOn ? IDS_MENU_DISABLE_WEBFTP : IDS_MENU_ENABLE_WEBFTP);
    }
    if (HMENU tray = ::GetSubMenu(trayMenu_, 0)) {
        SetMenuText(tray, ID_TRAY_TOGGLE_BT, btOn ? IDS_TRAY_DISABLE_BT : IDS_TRAY_ENABLE_BT);
        SetMenuText(tray, ID_TRAY_TOGGLE_WEBFTP, webFtpOn ? IDS_TRAY_DISABLE_WEBFTP : IDS_TRAY_ENABLE_WEBFTP);
    }
    ::DrawMenuBar(Hwnd());
}

void CQuarrowDlg::ApplyStatus() {
    SetItemText(IDC_MAIN_STATE, current_.stateText);
    HWND btBar = Item(IDC_MAIN_BT_SCROLL), webBar = Item(IDC_MAIN_WEB_SCROLL);
    if (current_.connected) {
        for (auto [bar, jobs] : {std::pair{btBar, current_.btItems.size()}, std::pair{webBar, current_.webFtpItems.size()}}) {
            int maximum = std::max(static_cast<int>(jobs) - kRows, 0);
            int position = ::GetScrollPos(bar, SB_CTL);
            ::SetScrollRange(bar, SB_CTL, 0, maximum, FALSE);
            ::SetScrollPos(bar, SB_CTL, std::min(position, maximum), TRUE);
        }
        SetToggleTexts(current_.btOn != 0, current_.webFtpOn != 0);
        for (int r = 0; r < kRows; ++r) {
            ::EnableWindow(Item(IDC_BT_ACTION_FIRST + r), current_.btOn ? TRUE : FALSE);
            ::EnableWindow(Item(IDC_WEB_ACTION_FIRST + r), current_.webFtpOn ? TRUE : FALSE);
        }
        FillBtRows();
        FillWebFtpRows();
        return;
    }
    for (HWND bar : {btBar, webBar}) {
        ::SetScrollRange(bar, SB_CTL, 0, 0, FALSE);
        ::SetScrollPos(bar, SB_CTL, 0, TRUE);
    }
    SetToggleTexts(false, false);
    btList_.ResetRowColors();
    webList_.ResetRowColors();
    std::string btResume = win::LoadResString(IDS_BT_RESUME), webResume = win::LoadResString(IDS_WEBFTP_RESUME);
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kBtColumns; ++c) btList_.SetCellText(r, c, "");
        ::SendMessageA(Item(IDC_BT_PRIORITY_FIRST + r), CB_SETCURSEL, 1, 0);
        SetItemText(IDC_BT_ACTION_FIRST + r, btResume);
        for (int c = 0; c < kWebColumns; ++c) webList_.SetCellText(r, c, "");
        SetItemText(IDC_WEB_ACTION_FIRST + r, webResume);
    }
    ::InvalidateRect(Item(IDC_MAIN_BT_LIST), nullptr, TRUE);
    ::InvalidateRect(Item(IDC_MAIN_WEB_LIST), nullptr, TRUE);
}

void CQuarrowDlg::FillBtRows() {
    size_t position = static_cast<size_t>(std::max(::GetScrollPos(Item(IDC_MAIN_BT_SCROLL), SB_CTL), 0));
    btList_.ResetRowColors();
    std::string pause = win::LoadResString(IDS_BT_PAUSE), resume = win::LoadResString(IDS_BT_RESUME);
    for (int r = 0; r < kRows; ++r) {
        if (position + r < current_.btItems.size()) {
            const client::BTItem& job = current_.btItems[position + r];
            const std::string* cells[kBtColumns] = {&job.name,     &job.contents,   &job.remainingTime, &job.totalSize,
                                                    &job.schedule, &job.throughput, &job.status};
            for (int c = 0; c < kBtColumns; ++c) btList_.SetCellText(r, c, *cells[c]);
            ::SendMessageA(Item(IDC_BT_PRIORITY_FIRST + r), CB_SETCURSEL, static_cast<WPARAM>(1 - job.priority), 0);
            SetItemText(IDC_BT_ACTION_FIRST + r, job.paused ? resume : pause);
            btList_.SetRowColors(r, static_cast<COLORREF>(job.textColor), static_cast<COLORREF>(job.backColor));
        } else {
            for (int c = 0; c < kBtColumns; ++c) btList_.SetCellText(r, c, "");
            btList_.SetRowColors(r, kWhite, kWhite);
        }
    }
    ::InvalidateRect(Item(IDC_MAIN_BT_LIST), nullptr, TRUE);
    ::SetFocus(Item(IDC_MAIN_REFRESH));
}

void CQuarrowDlg::FillWebFtpRows() {
    size_t position = static_cast<size_t>(std::max(::GetScrollPos(Item(IDC_MAIN_WEB_SCROLL), SB_CTL), 0));
    webList_.ResetRowColors();
    std::string pause = win::LoadResString(IDS_WEBFTP_PAUSE), resume = win::LoadResString(IDS_WEBFTP_RESUME);
    for (int r = 0; r < kRows; ++r) {
        if (position + r < current_.webFtpItems.size()) {
            const client::WebFTPItem& job = current_.webFtpItems[position + r];
            const std::string* cells[kWebColumns] = {&job.fileName, &job.size,     &job.loadedSize,
                                                     &job.status,   &job.savePath, &job.url};
            for (int c = 0; c < kWebColumns; ++c) webList_.SetCellText(r, c, *cells[c]);
            SetItemText(IDC_WEB_ACTION_FIRST + r, job.paused ? resume : pause);
            webList_.SetRowColors(r, static_cast<COLORREF>(job.textColor), static_cast<COLORREF>(job.backColor));
        } else {
            for (int c = 0; c < kWebColumns; ++c) webList_.SetCellText(r, c, "");
            webList_.SetRowColors(r, kWhite, kWhite);
        }
    }
    ::InvalidateRect(Item(IDC_MAIN_WEB_LIST), nullptr, TRUE);
    ::SetFocus(Item(IDC_MAIN_REFRESH));
}

void CQuarrowDlg::OnListScrolled(int controlId) {
    if (controlId == IDC_MAIN_BT_SCROLL) FillBtRows();
    if (controlId == IDC_MAIN_WEB_SCROLL) FillWebFtpRows();
}

}  // namespace app
