// The small modal dialog shown while a device operation runs on its worker.
#pragma once
#include <memory>
#include <string>

#include "client/Operation.h"
#include "common/Dialog.h"

namespace app {

class CWaitDlg : public win::CDialog {
public:
    CWaitDlg();

    // Shows the dialog until the job, which runs on a thread of its own,
    // finishes or times out (5516). The owner window is disabled meanwhile,
    // as with any modal dialog.
    void AwaitOperation(const std::shared_ptr<client::DeviceOperation>& job, UINT statusTextId, HWND owner = nullptr);

    enum : UINT_PTR { kAnimationTimer = 100, kTimeoutTimer = 500 };
    static constexpr UINT kAnimationMs = 300;
    static constexpr DWORD kOperationTimeoutMs = client::kOperationTimeoutMs;

    // Test seam: a shorter time-out for the next dialogs (0 restores the default).
    static void SetTimeoutForTesting(DWORD ms);
    // Test seam: called with the dialog's window once it is initialised.
    static void SetObserverForTesting(void (*observer)(HWND));
    // How long an operation may take without a dialog.
    static constexpr DWORD kQuietMs = 100;

private:
    BOOL OnInitDialog() override;
    void OnTimer(UINT_PTR id);

    std::shared_ptr<client::DeviceOperation> job_;
    std::string statusText_;
    std::string waitText_;
    int dots_ = 0;
};

// The program's operation host: every operation behind a wait dialog, owned by
// the window that asked for it (the calling thread's active window, else the
// fallback owner), so that window takes no input until the operation ends.
// An operation that is over within a moment shows no dialog (it would only
// flash): the window thread waits for it that long without taking messages,
// and drops the input that arrived meanwhile, as the disabled owner would.
class WaitDialogHost : public client::IOperationHost {
public:
    void Run(const std::shared_ptr<client::DeviceOperation>& job, UINT statusTextId) override;
    void Await(const std::shared_ptr<client::DeviceOperation>& job, UINT statusTextId) override;
    void SetFallbackOwner(HWND owner) { fallbackOwner_ = owner; }

private:
    HWND Owner() const;

    HWND fallbackOwner_ = nullptr;
};

}  // namespace app
