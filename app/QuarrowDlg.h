// The main window: both job lists with their row panels and scroll bars, the
// connection sequence, and the refresh every minute while nothing else runs.
#pragma once
#include <memory>
#include <string>

#include "app/ListCtrl.h"
#include "app/ScrollBar.h"
#include "app/WaitDlg.h"
#include "client/DeviceClient.h"
#include "common/Dialog.h"
#include "common/Handle.h"

namespace app {

class CQuarrowDlg : public win::CDialog, private IScrollListener {
public:
    CQuarrowDlg();
    ~CQuarrowDlg() override;

    enum : UINT_PTR { kRefreshTimer = 1 };
    static constexpr UINT kRefreshMs = 60000;
    static constexpr int kMinWidth = 450;
    // Test seam, for a test build's entry point only: a shorter refresh period.
    static void SetRefreshIntervalForTesting(UINT ms);

    // The bracket around every piece of work that talks to the server or opens
    // a dialog: no timer refresh and no hand-over meanwhile. It nests.
    void EnterBusy();
    void LeaveBusy();

    void ConnectToServer();
    void RefreshAfterOperation();
    void SetDisconnected();
    void EnableControls();
    void ShowRows();
    void ApplyStatus();
    void FillBtRows();
    void FillWebFtpRows();
    // Fetch again, or connect again when the connection is gone.
    void Refresh();

    const CurrentStatus& Current() const { return current_; }

private:
    BOOL OnInitDialog() override;
    void OnListScrolled(int controlId) override;
    void Layout(int width);
    void CreateColumns();
    void ShowMessage(int resultCode);
    void PaintIcon();
    INT_PTR KeepActionColumns(NMHDR* header);
    void SetToggleTexts(bool btOn, bool webFtpOn);

    std::shared_ptr<WaitDialogHost> host_;
    client::CDeviceClient client_;
    CurrentStatus current_;
    CMyListCtrl btList_, webList_;
    CMyScrollBar btScroll_, webScroll_;
    HMENU trayMenu_ = nullptr;
    HICON icon_ = nullptr;
    win::GdiObject headingFont_;
    bool layoutReady_ = false;
};

}  // namespace app
