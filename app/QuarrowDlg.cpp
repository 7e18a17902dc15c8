#include "QuarrowDlg.h"

#include <commctrl.h>

#include "app/SharedState.h"
#include "app/WaitDlg.h"
#include "app/resource.h"
#include "dialogs/LogInDlg.h"
#include "dialogs/SearchServerDlg.h"

namespace app {

namespace {

constexpr UINT kConnectMessage = WM_APP + 1;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 60000;

void AddColumns(HWND list, std::initializer_list<std::pair<UINT, int>> columns) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    int index = 0;
    for (auto [textId, width] : columns) {
        std::string text = win::LoadResString(textId);
        LVCOLUMNA column = {};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = width;
        column.pszText = text.data();
        ::SendMessageA(list, LVM_INSERTCOLUMNA, index++, reinterpret_cast<LPARAM>(&column));
    }
}

void AddRow(HWND list, std::initializer_list<std::string> cells) {
    int row = ListView_GetItemCount(list);
    int sub = 0;
    for (const std::string& cell : cells) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = sub;
        item.pszText = const_cast<char*>(cell.c_str());
        ::SendMessageA(list, sub == 0 ? LVM_INSERTITEMA : LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        ++sub;
    }
}

}  // namespace

CQuarrowDlg::CQuarrowDlg() : client_(std::make_shared<WaitDialogHost>()) {
    client_.SetLoginHooks({std::make_shared<client::RegistryLoginStore>(win::LoadResString(IDS_REGISTRY_KEY)),
                           dialogs::LogInDialogFactory()});
    OnMessage(kConnectMessage, [this](WPARAM, LPARAM) {
        ConnectAndRefresh();
        return 0;
    });
    OnMessage(WM_TIMER, [this](WPARAM id, LPARAM) {
        if (id == kRefreshTimer) Refresh();
        return 0;
    });
    OnMessage(WM_SIZE, [this](WPARAM, LPARAM) {
        Layout();
        return 0;
    });
    OnCommand(IDC_MAIN_REFRESH, [this] { client_.IsConnected() ? Refresh() : ConnectAndRefresh(); });
    OnCommand(IDCANCEL, [this] { End(IDCANCEL); });
    OnCommand(IDOK, [] {});
}

BOOL CQuarrowDlg::OnInitDialog() {
    Shared().mainWindow = static_cast<LONG>(reinterpret_cast<LONG_PTR>(Hwnd()));
    HICON icon = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_QUARROW));
    ::SendMessageA(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageA(Hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    AddColumns(Item(IDC_MAIN_BT_LIST), {{IDS_BTCOL_NAME, 200}, {IDS_BTCOL_TOTAL_SIZE, 80}, {IDS_BTCOL_SCHEDULE, 70},
                                        {IDS_BTCOL_THROUGHPUT, 80}, {IDS_BTCOL_STATUS, 90}});
    AddColumns(Item(IDC_MAIN_WEB_LIST), {{IDS_WEBCOL_FILE_NAME, 200}, {IDS_WEBCOL_SIZE, 80},
                                         {IDS_WEBCOL_LOAD_SIZE, 80}, {IDS_WEBCOL_STATUS, 90}, {IDS_WEBCOL_SAVE_PATH, 120}});
    SetItemText(IDC_MAIN_STATE, win::LoadResString(IDS_STATE_DISCONNECTED));
    Layout();
    ::PostMessageA(Hwnd(), kConnectMessage, 0, 0);
    return TRUE;
}

void CQuarrowDlg::Layout() {
    RECT rc;
    if (!Hwnd() || !Item(IDC_MAIN_BT_LIST)) return;
    ::GetClientRect(Hwnd(), &rc);
    int w = rc.right - 16, half = (rc.bottom - 70) / 2;
    ::MoveWindow(Item(IDC_MAIN_STATE), 8, 8, w - 90, 20, TRUE);
    ::MoveWindow(Item(IDC_MAIN_REFRESH), rc.right - 88, 4, 80, 26, TRUE);
    ::MoveWindow(Item(IDC_MAIN_BT_LIST), 8, 36, w, half, TRUE);
    ::MoveWindow(Item(IDC_MAIN_WEB_LIST), 8, 44 + half, w, half, TRUE);
}

void CQuarrowDlg::ShowResult(int result) {
    if (result != 0) ::MessageBoxA(Hwnd(), win::LoadResString(result).c_str(), "Quarrow", MB_OK);
}

void CQuarrowDlg::ConnectAndRefresh() {
    // The window is up before the first message box can appear over it.
    ::ShowWindow(Hwnd(), SW_SHOW);
    ::UpdateWindow(Hwnd());
    // The remembered server, or the user's choice; giving up the choice ends the program.
    dialogs::CSearchServerDlg selection;
    server_ = selection.GetServer(Hwnd());
    std::string display = selection.DisplayText();
    for (;;) {
        if (server_.empty()) {
            End(IDOK);
            return;
        }
        int result = client_.Connect(display, server_);
        if (result == 0) break;
        SetItemText(IDC_MAIN_STATE, win::LoadResString(IDS_STATE_DISCONNECTED));
        ShowResult(result);
        dialogs::CSearchServerDlg again;
        server_ = again.AskServer(Hwnd());
        display = again.DisplayText();
    }
    Refresh();
}

void CQuarrowDlg::Refresh() {
    ::KillTimer(Hwnd(), kRefreshTimer);
    client::ServerStatus status;
    int result = client_.RefreshStatus(status);
    if (result != 0) {
        ShowResult(result);
    } else {
        ShowStatus(status);
    }
    ::SetTimer(Hwnd(), kRefreshTimer, kRefreshMs, nullptr);
}

void CQuarrowDlg::ShowStatus(const client::ServerStatus& status) {
    HWND bt = Item(IDC_MAIN_BT_LIST), web = Item(IDC_MAIN_WEB_LIST);
    ListView_DeleteAllItems(bt);
    ListView_DeleteAllItems(web);
    for (const auto& item : status.btItems)
        AddRow(bt, {item.name, item.totalSize, item.schedule, item.throughput, item.status});
    for (const auto& item : status.webFtpItems)
        AddRow(web, {item.fileName, item.size, item.loadedSize, item.status, item.savePath});
    SetItemText(IDC_MAIN_STATE, win::LoadResString(IDS_STATE_READY) + "  " + server_);
}

}  // namespace app
