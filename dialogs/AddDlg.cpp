#include "dialogs/AddDlg.h"

#include <commdlg.h>

#include "resources/resource.h"
#include "dialogs/DialogText.h"
#include "dialogs/SelPathDlg.h"

namespace dialogs {

namespace {
HINSTANCE Instance() { return ::GetModuleHandleA(nullptr); }

// The common dialogs' library is loaded when a file is first chosen, not with
// the program: it brings the printing system with it, some 4 MiB of memory
// that a program started at every logon would otherwise hold from its start.
BOOL ChooseFileToOpen(OPENFILENAMEA& open) {
    using Choose = BOOL(WINAPI*)(OPENFILENAMEA*);
    static HMODULE library = ::LoadLibraryA("comdlg32.dll");
    FARPROC address = library ? ::GetProcAddress(library, "GetOpenFileNameA") : nullptr;
    auto choose = reinterpret_cast<Choose>(reinterpret_cast<void*>(address));
    return choose && choose(&open);
}
}  // namespace

CAddDlgBase::CAddDlgBase(client::CDeviceClient& client, const client::CCSConvertor& charsets)
    : client_(client), charsets_(charsets) {
    OnClicked(IDC_ADD_BROWSE_FOLDER, [this] { BrowseFolder(); });
    OnClicked(IDCANCEL, [this] { End(IDCANCEL); });
}

void CAddDlgBase::PrepareCommon() {
    for (const CharsetChoice& choice :
         CharsetChoices(charsets_, win::LoadResString(IDS_CHARSET_DEFAULT), static_cast<int>(::GetACP()))) {
        LRESULT index =
            SendItemMessage(IDC_ADD_CHARSET, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(choice.name.c_str()));
        if (index >= 0) SendItemMessage(IDC_ADD_CHARSET, CB_SETITEMDATA, index, choice.codePage);
    }
    SendItemMessage(IDC_ADD_CHARSET, CB_SETCURSEL, 0);

    client::PathArg defaultPath;
    if (client_.Run(client::OperationKind::GetDefaultPath, defaultPath) == 0)
        SetItemText(IDC_ADD_SAVE_PATH, defaultPath.path);
    EnableItem(IDC_ADD_SAVE_PATH, false);

    // The main window comes up behind the dialog, repainted, after the wait.
    if (HWND owner = ::GetWindow(Hwnd(), GW_OWNER)) {
        ::SetWindowPos(owner, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ::SetWindowPos(owner, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ::RedrawWindow(owner, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
}

void CAddDlgBase::BrowseFolder() {
    CSelPathDlg folders(client_);
    if (folders.Show(Hwnd()) == IDOK) SetItemText(IDC_ADD_SAVE_PATH, folders.SelectedPath());
}

bool CAddDlgBase::Refuse(const Check& check) {
    if (check.message == 0) return false;
    ShowMessage(check.message);
    // A disabled control cannot take the focus; the save path's box is one.
    FocusItem(check.focus);
    return true;
}

void CAddDlgBase::TakeUrlAndPath() {
    LRESULT selected = SendItemMessage(IDC_ADD_CHARSET, CB_GETCURSEL);
    int codePage = selected >= 0 ? static_cast<int>(SendItemMessage(IDC_ADD_CHARSET, CB_GETITEMDATA, selected)) : 0;
    urls_ = MakeUrlTexts(GetItemText(IDC_ADD_URL), codePage);
    savePath_ = GetItemText(IDC_ADD_SAVE_PATH);
}

// ---------------------------------------------------------------- Add BT

CAddBtDlg::CAddBtDlg(client::CDeviceClient& client, const client::CCSConvertor& charsets)
    : CAddDlgBase(client, charsets) {
    OnClicked(IDC_ADDBT_FROM_PC, [this] { ApplySource(); });
    OnClicked(IDC_ADDBT_FROM_URL, [this] { ApplySource(); });
    OnClicked(IDC_ADDBT_BROWSE_FILE, [this] { BrowseTorrent(); });
    OnCommand(IDC_ADD_URL, EN_CHANGE, [this] { EnableItem(IDC_ADD_CHARSET); });
    OnClicked(IDOK, [this] { OnOk(); });
}

INT_PTR CAddBtDlg::Show(HWND owner) { return DoModal(Instance(), IDD_ADD_BT, owner); }

BOOL CAddBtDlg::OnInitDialog() {
    SetText(IDS_ADDBT_TITLE);
    SetItemTexts({
        {IDC_ADDBT_GROUP, IDS_ADDBT_SOURCE_GROUP},
        {IDC_ADDBT_FROM_PC, IDS_ADDBT_FROM_PC},
        {IDC_ADDBT_BROWSE_FILE, IDS_ADDBT_BROWSE_FILE},
        {IDC_ADDBT_FROM_URL, IDS_ADDBT_FROM_URL},
        {IDC_ADD_CHARSET_LABEL, IDS_ADDBT_CHARSET},
        {IDC_ADD_SAVE_LABEL, IDS_ADDBT_SAVE_FOLDER},
        {IDC_ADD_BROWSE_FOLDER, IDS_ADDBT_BROWSE_FOLDER},
        {IDC_ADDBT_PRIORITY_LABEL, IDS_ADDBT_PRIORITY},
        {IDOK, IDS_ADDBT_OK},
        {IDCANCEL, IDS_ADDBT_CANCEL},
    });
    for (UINT text : {IDS_PRIORITY_HIGH, IDS_PRIORITY_NORMAL, IDS_PRIORITY_LOW})
        SendItemMessage(IDC_ADDBT_PRIORITY, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(win::LoadResString(text).c_str()));
    SendItemMessage(IDC_ADDBT_PRIORITY, CB_SETCURSEL, 1);
    CheckRadioButton(IDC_ADDBT_FROM_PC, IDC_ADDBT_FROM_URL, IDC_ADDBT_FROM_PC);
    PrepareCommon();
    ApplySource();
    if (!presetPath_.empty()) SetItemText(IDC_ADDBT_FILE, presetPath_);
    return TRUE;
}

void CAddBtDlg::ApplySource() {
    bool fromPc = IsButtonChecked(IDC_ADDBT_FROM_PC);
    EnableItem(IDC_ADDBT_FILE, fromPc);
    for (int id : {IDC_ADD_URL, IDC_ADD_CHARSET_LABEL, IDC_ADD_CHARSET}) EnableItem(id, !fromPc);
}

void CAddBtDlg::BrowseTorrent() {
    // The filter's "|" separators become the zeros the dialog expects.
    std::string filter = win::LoadResString(IDS_TORRENT_FILTER);
    for (char& c : filter)
        if (c == '|') c = '\0';
    char file[MAX_PATH] = {};
    OPENFILENAMEA open = {};
    open.lStructSize = sizeof open;
    open.hwndOwner = Hwnd();
    open.lpstrFilter = filter.c_str();
    open.lpstrFile = file;
    open.nMaxFile = sizeof file;
    open.lpstrDefExt = "torrent";
    if (ChooseFileToOpen(open)) SetItemText(IDC_ADDBT_FILE, file);
}

void CAddBtDlg::OnOk() {
    bool fromUrl = !IsButtonChecked(IDC_ADDBT_FROM_PC);
    std::string pcPath = GetItemText(IDC_ADDBT_FILE);
    if (Refuse(CheckAddBt(fromUrl, pcPath, GetItemText(IDC_ADD_URL), GetItemText(IDC_ADD_SAVE_PATH)))) return;
    TakeUrlAndPath();
    fromUrl_ = fromUrl;
    pcPath_ = pcPath;
    priority_ = static_cast<int>(SendItemMessage(IDC_ADDBT_PRIORITY, CB_GETCURSEL));
    if (priority_ < 0) priority_ = 1;
    End(IDOK);
}

// ---------------------------------------------------------------- Add Web/FTP

CAddFtpDlg::CAddFtpDlg(client::CDeviceClient& client, const client::CCSConvertor& charsets)
    : CAddDlgBase(client, charsets) {
    OnClicked(IDOK, [this] { OnOk(); });
}

INT_PTR CAddFtpDlg::Show(HWND owner) { return DoModal(Instance(), IDD_ADD_FTP, owner); }

BOOL CAddFtpDlg::OnInitDialog() {
    SetText(IDS_ADDFTP_TITLE);
    SetItemTexts({
        {IDC_ADDFTP_URL_LABEL, IDS_ADDFTP_URL},
        {IDC_ADD_CHARSET_LABEL, IDS_ADDFTP_CHARSET},
        {IDC_ADD_SAVE_LABEL, IDS_ADDFTP_SAVE_AS},
        {IDC_ADD_BROWSE_FOLDER, IDS_ADDFTP_BROWSE},
        {IDC_ADDFTP_USER_LABEL, IDS_ADDFTP_USER},
        {IDC_ADDFTP_USER_OPTIONAL, IDS_ADDFTP_OPTIONAL},
        {IDC_ADDFTP_PASSWORD_LABEL, IDS_ADDFTP_PASSWORD},
        {IDC_ADDFTP_PASSWORD_OPTIONAL, IDS_ADDFTP_OPTIONAL},
    });
    PrepareCommon();
    return TRUE;
}

void CAddFtpDlg::OnOk() {
    if (Refuse(CheckAddFtp(GetItemText(IDC_ADD_URL), GetItemText(IDC_ADD_SAVE_PATH)))) return;
    TakeUrlAndPath();
    user_ = GetItemText(IDC_ADDFTP_USER);
    password_ = GetItemText(IDC_ADDFTP_PASSWORD);
    End(IDOK);
}

}  // namespace dialogs
