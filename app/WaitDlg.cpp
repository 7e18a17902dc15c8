#include "WaitDlg.h"

#include <algorithm>

#include "resources/resource.h"

namespace app {

namespace {
DWORD g_timeoutMs = 0;
void (*g_observer)(HWND) = nullptr;

// The keyboard and mouse input that came while an operation ran without a dialog.
void DropInput() {
    MSG input;
    while (::PeekMessageA(&input, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (::PeekMessageA(&input, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
}
}  // namespace

void CWaitDlg::SetTimeoutForTesting(DWORD ms) { g_timeoutMs = ms; }
void CWaitDlg::SetObserverForTesting(void (*observer)(HWND)) { g_observer = observer; }

CWaitDlg::CWaitDlg() {
    OnMessage(WM_TIMER, [this](WPARAM wp, LPARAM) {
        OnTimer(wp);
        return 0;
    });
    // Only the worker (or a failure) closes this dialog, never the user.
    OnMessage(client::WM_OPERATION_FINISHED, [this](WPARAM, LPARAM) {
        if (job_->Finished()) End(IDOK);
        return 0;
    });
    OnMessage(WM_CLOSE, [](WPARAM, LPARAM) { return 0; });
    OnClicked(IDOK, [] {});
    OnClicked(IDCANCEL, [] {});
    OnMessage(WM_DESTROY, [this](WPARAM, LPARAM) {
        ::KillTimer(Hwnd(), kAnimationTimer);
        ::KillTimer(Hwnd(), kTimeoutTimer);
        return 0;
    });
}

BOOL CWaitDlg::OnInitDialog() {
    waitText_ = win::LoadResString(IDS_PLEASE_WAIT);
    SetItemText(IDC_WAIT_TEXT, waitText_);
    SetItemText(IDC_WAIT_STATUS, statusText_);
    dots_ = 0;
    ::SetTimer(Hwnd(), kAnimationTimer, kAnimationMs, nullptr);
    ::SetTimer(Hwnd(), kTimeoutTimer, g_timeoutMs ? g_timeoutMs : kOperationTimeoutMs, nullptr);

    job_->SetNotifyWindow(Hwnd());
    // It may have finished before it knew this window.
    if (job_->Finished()) ::PostMessageA(Hwnd(), client::WM_OPERATION_FINISHED, 0, 0);
    if (g_observer) g_observer(Hwnd());
    return TRUE;
}

void CWaitDlg::OnTimer(UINT_PTR id) {
    if (id == kAnimationTimer) {
        if (++dots_ > 9) {
            dots_ = 0;
            waitText_ = win::LoadResString(IDS_PLEASE_WAIT);
        } else {
            waitText_ += '.';
        }
        SetItemText(IDC_WAIT_TEXT, waitText_);
    } else if (id == kTimeoutTimer) {
        ::KillTimer(Hwnd(), kTimeoutTimer);
        job_->GiveUp(client::kResultTimeout);
        End(IDCANCEL);
    }
}

void CWaitDlg::AwaitOperation(const std::shared_ptr<client::DeviceOperation>& job, UINT statusTextId, HWND owner) {
    job_ = job;
    statusText_ = win::LoadResString(statusTextId);
    if (DoModal(::GetModuleHandleA(nullptr), IDD_WAIT, owner) == -1) job_->GiveUp(client::kResultThreadFailed);
    // The loop also ends, without the worker's message, for a WM_QUIT
    // posted by someone else (the dialog passes it on to the outer loop).
    // Nobody would wait for the job any more: it is given up now. A job that
    // finished or was given up already keeps its result.
    job_->GiveUp(client::kResultTimeout);
    // A worker that finished lets go of the job at once; waiting for that keeps
    // it from racing the end of the process. A given-up one is left alone.
    job_->WaitReleased();
}

HWND WaitDialogHost::Owner() const {
    // A hidden main window (closed to the tray) is not active; it still owns
    // the dialog so that it cannot start a second operation.
    HWND owner = ::GetActiveWindow();
    if (!owner || !::IsWindowEnabled(owner)) owner = fallbackOwner_;
    if (owner && !::IsWindow(owner)) owner = nullptr;
    return owner;
}

void WaitDialogHost::Run(const std::shared_ptr<client::DeviceOperation>& job, UINT statusTextId) {
    if (!client::StartOperationWorker(job)) {
        job->GiveUp(client::kResultThreadFailed);
        return;
    }
    Await(job, statusTextId);
}

void WaitDialogHost::Await(const std::shared_ptr<client::DeviceOperation>& job, UINT statusTextId) {
    const DWORD quiet = g_timeoutMs ? std::min(g_timeoutMs, CWaitDlg::kQuietMs) : CWaitDlg::kQuietMs;
    if (job->WaitSettled(quiet)) {
        job->WaitReleased();
        DropInput();
        return;
    }
    CWaitDlg dialog;
    dialog.AwaitOperation(job, statusTextId, Owner());
}

}  // namespace app
