#include "dialogs/CmdAddDlg.h"

#include "app/resource.h"

namespace dialogs {

CCmdAddDlg::CCmdAddDlg(bool torrentMode, HANDLE cancel) : torrentMode_(torrentMode), cancel_(cancel) {
    OnClicked(IDC_CMDADD_CANCEL, [this] {
        GiveUp();
        End(IDCANCEL);
    });
    // Enter, Esc and the close box leave the hand-over going on.
    OnClicked(IDOK, [] {});
    OnClicked(IDCANCEL, [] {});
    OnMessage(WM_CLOSE, [](WPARAM, LPARAM) { return TRUE; });
    OnMessage(WM_DESTROY, [this](WPARAM, LPARAM) {
        GiveUp();
        PassToDefault();
        return FALSE;
    });
}

BOOL CCmdAddDlg::OnInitDialog() {
    ::SetWindowTextA(Hwnd(), win::LoadResString(torrentMode_ ? IDS_CMDADD_TITLE_TORRENT : IDS_CMDADD_TITLE_URL).c_str());
    SetItemText(IDC_CMDADD_TEXT, win::LoadResString(torrentMode_ ? IDS_CMDADD_TEXT_TORRENT : IDS_CMDADD_TEXT_URL));
    SetItemText(IDC_CMDADD_CANCEL, win::LoadResString(IDS_CMDADD_CANCEL));
    return TRUE;
}

void CCmdAddDlg::GiveUp() { ::SetEvent(cancel_); }

namespace {
struct WindowStart {
    bool torrentMode;
    HANDLE cancel;
};

DWORD WINAPI CmdAddThread(LPVOID parameter) {
    WindowStart start = *static_cast<WindowStart*>(parameter);
    delete static_cast<WindowStart*>(parameter);
    try {
        CCmdAddDlg window(start.torrentMode, start.cancel);
        window.DoModal(::GetModuleHandleA(nullptr), IDD_CMD_ADD, nullptr);
    } catch (...) {
    }
    // The waiting thread normally ends the process within a second; should it
    // be stuck in a send to a main window that does not answer, end it here.
    if (::WaitForSingleObject(start.cancel, 0) == WAIT_OBJECT_0) {
        ::Sleep(5000);
        ::ExitProcess(0);
    }
    return 0;
}
}  // namespace

void StartCmdAddWindow(bool torrentMode, HANDLE cancel) {
    auto* start = new WindowStart{torrentMode, cancel};
    HANDLE thread = ::CreateThread(nullptr, 0, CmdAddThread, start, 0, nullptr);
    if (thread) {
        ::CloseHandle(thread);
    } else {
        delete start;  // no window then; the hand-over goes on without it
    }
}

}  // namespace dialogs
