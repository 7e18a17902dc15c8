// The main window: both job lists with their row panels and scroll bars, the
// connection sequence, and the refresh every minute while nothing else runs.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/HandOver.h"
#include "app/ListCtrl.h"
#include "app/Notify.h"
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

    enum : UINT_PTR { kRefreshTimer = 1, kHandOverTimer = 2, kBalloonTimer = 3 };
    // The notification icon's callback message.
    static constexpr UINT kTrayMessage = WM_USER + 5;
    static constexpr UINT kRefreshMs = 60000;
    static constexpr int kMinWidth = 450;
    // Test seam, for a test build's entry point only: a shorter refresh period.
    static void SetRefreshIntervalForTesting(UINT ms);
    // Test seam, likewise: called once, when the first job lists are on screen.
    static void SetFirstListObserverForTesting(void (*observer)(HWND));
    // Test seam, likewise: told of every balloon shown (the shell keeps its title to itself).
    static void SetBalloonObserverForTesting(void (*observer)(const wchar_t* title, const wchar_t* text, DWORD icon));

    // The bracket around every piece of work that talks to the server or opens
    // a dialog: no timer refresh, no hand-over, no drop, no tray menu and no
    // window command meanwhile. It nests. Held only as a scope, so that no
    // early return or exception can leave the window busy for good.
    class BusyScope {
    public:
        explicit BusyScope(CQuarrowDlg& window) : window_(window) { window_.EnterBusy(); }
        ~BusyScope() { window_.LeaveBusy(); }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        CQuarrowDlg& window_;
    };

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

    // ---- Commands, menus, notification icon and hand-over (QuarrowCommands.cpp)
    // With a torrent file, the dialog opens with it filled in. False when the
    // user cancelled the dialog.
    bool AddBt(const std::string& torrentFile = std::string());
    void AddWebFtp();
    void Rescan();
    void ToggleBt();
    void ToggleWebFtp();
    void SetDefaultFolder();
    void ChangePriority(int row);
    void PauseResumeBt(int row);
    void RemoveBt(int row);
    void PauseResumeWebFtp(int row);
    void RemoveWebFtp(int row);
    // Adds a handed-over torrent file or link into the default save folder.
    // False when no server could be connected to (the user gave up the
    // selection): nothing more can be added then.
    bool AddHandedOver(const HandOver& handOver);

    // ---- Notifications of finished and failed jobs (QuarrowNotify.cpp)
    // After each successful status: the jobs that ended since the last one.
    void NotifyEndedJobs();
    void ToggleNotify();

private:
    void EnterBusy();
    void LeaveBusy();
    BOOL OnInitDialog() override;
    bool AcceptsCommand(int id, UINT code) override;
    void OnListScrolled(int controlId) override;
    void Layout(int width);
    // A 100 % length in pixels of the window's display scale.
    int Px(int pixels) const;
    // Fonts, icons, columns and layout for the display scale `dpi`.
    void ApplyDpi(UINT dpi);
    void LoadIcons();
    void CreateColumns();
    void ShowMessage(int resultCode);
    void PaintIcon();
    INT_PTR KeepActionColumns(NMHDR* header);
    void SetToggleTexts(bool btOn, bool webFtpOn);

    // ---- (QuarrowCommands.cpp)
    void RegisterCommands();
    // The frame of a command: busy state, the call, its message or the refresh.
    template <typename Call>
    void Framed(Call&& call);
    // After the first connection attempt: the notification icon, the F5 key.
    void AfterFirstConnection();
    void RemoveTrayIcon();
    INT_PTR OnTrayNotify(WPARAM id, LPARAM mouse);
    INT_PTR OnCopyData(const COPYDATASTRUCT* copy);
    // ---- (QuarrowDrop.cpp)
    void OnDropFiles(HDROP drop);
    void TakePendingHandOvers();
    const client::BTItem* BtJobAt(int row) const;
    const client::WebFTPItem* WebFtpJobAt(int row) const;

    // ---- (QuarrowNotify.cpp)
    void InitNotify();
    void ShowNotifyCheck();
    void ShowNextBalloon();
    void StopBalloons();

    std::shared_ptr<WaitDialogHost> host_;
    client::CDeviceClient client_;
    CurrentStatus current_;
    CMyListCtrl btList_, webList_;
    CMyScrollBar btScroll_, webScroll_;
    HMENU trayMenu_ = nullptr;
    HICON icon_ = nullptr;       // large, at the window's scale
    HICON smallIcon_ = nullptr;  // small, likewise
    UINT dpi_ = 96;
    win::GdiObject headingFont_;
    bool layoutReady_ = false;
    bool trayIconAdded_ = false;
    HHOOK keyHook_ = nullptr;
    HandOverQueue pendingHandOvers_;  // arrived while the window was busy
    std::string serverAddress_;              // of the last successful connection
    // Notifications: the server whose list is loaded, its list, whether its
    // first list has been seen, the jobs still to be told.
    bool notifyOn_ = true;
    std::string notifyServer_;
    std::vector<std::string> notified_;
    bool notifyEstablished_ = false;
    std::deque<EndedJob> pendingBalloons_;
    bool balloonPacing_ = false;
};

}  // namespace app
