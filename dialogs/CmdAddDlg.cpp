#include "dialogs/CmdAddDlg.h"

#include <memory>

#include "resources/resource.h"
#include "common/Handle.h"

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
    SetText(torrentMode_ ? IDS_CMDADD_TITLE_TORRENT : IDS_CMDADD_TITLE_URL);
    SetItemTexts({{IDC_CMDADD_TEXT, torrentMode_ ? IDS_CMDADD_TEXT_TORRENT : IDS_CMDADD_TEXT_URL},
                  {IDC_CMDADD_CANCEL, IDS_CMDADD_CANCEL}});
    return TRUE;
}

void CCmdAddDlg::GiveUp() { ::SetEvent(cancel_); }

namespace {
// What the window's thread owns: the mode and its own handle of the event.
struct WindowStart {
    bool torrentMode;
    win::Handle cancel;
};

DWORD WINAPI CmdAddThread(LPVOID parameter) {
    std::unique_ptr<WindowStart> start(static_cast<WindowStart*>(parameter));
    HANDLE cancel = start->cancel.Get();
    try {
        CCmdAddDlg window(start->torrentMode, cancel);
        window.DoModal(::GetModuleHandleA(nullptr), IDD_CMD_ADD, nullptr);
    } catch (...) {}
    // The waiting thread normally ends the process within a second; should it
    // be stuck in a send to a main window that does not answer, end it here.
    if (::WaitForSingleObject(cancel, 0) == WAIT_OBJECT_0) {
        ::Sleep(5000);
        ::ExitProcess(0);
    }
    return 0;
}
}  // namespace

void StartCmdAddWindow(bool torrentMode, HANDLE cancel) {
    // A handle of the window's own: the caller may close its handle (and end
    // its wait) while the window still sets or tests the event.
    HANDLE own = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), cancel, ::GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return;  // no window then; the hand-over goes on without it
    auto start = std::make_unique<WindowStart>();
    start->torrentMode = torrentMode;
    start->cancel.Attach(own);
    HANDLE thread = ::CreateThread(nullptr, 0, CmdAddThread, start.get(), 0, nullptr);
    if (thread) {
        start.release();  // the thread's now
        ::CloseHandle(thread);
    }
}

}  // namespace dialogs
