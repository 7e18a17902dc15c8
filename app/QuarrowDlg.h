// The main window: the frame around its parts (the two job panels, the
// notification icon, the hand-over receiver, the download notifications):
// the busy state, the connection, the refresh every minute while nothing else
// runs, and the table of what the user can do.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

#include "app/BusyScope.h"
#include "app/DownloadNotifier.h"
#include "app/HandOverReceiver.h"
#include "app/JobPanel.h"
#include "app/TrayIcon.h"
#include "app/WaitDlg.h"
#include "client/DeviceClient.h"
#include "common/Dialog.h"
#include "common/Handle.h"

namespace app {

class CQuarrowDlg : public win::CDialog, private IBusyState {
public:
    CQuarrowDlg();
    ~CQuarrowDlg() override;

    // Starts connecting to the remembered server while the window is being
    // built: the window's first connection and refresh then find their
    // results in (see CDeviceClient::StartAhead).
    void ConnectAhead();

    // Test seam, for a test build's entry point only: a shorter refresh period.
    static void SetRefreshIntervalForTesting(UINT ms);
    // Test seam, likewise: called once, when the first job lists are on screen.
    static void SetFirstListObserverForTesting(void (*observer)(HWND));
    // Test seam, likewise: told of every balloon shown.
    static void SetBalloonObserverForTesting(void (*observer)(const wchar_t* title, const wchar_t* text, DWORD icon)) {
        CTrayIcon::SetBalloonObserverForTesting(observer);
    }

private:
    enum : UINT_PTR { kRefreshTimer = 1, kHandOverTimer = 2, kBalloonTimer = 3 };

    // ---- The frame (QuarrowDlg.cpp)
    void EnterBusy() override;
    void LeaveBusy() override;
    BOOL OnInitDialog() override;
    bool AcceptsCommand(int id, UINT code) override;
    void ConnectToServer();
    // Connects to the server at `address`; on success shows its name in the
    // caption and its lists. The client's result.
    int ConnectTo(const std::string& address, const std::string& display);
    // Fetch again, or connect again when the connection is gone.
    void Refresh();
    void RefreshAfterOperation();
    void SetDisconnected();
    void EnableControls();
    void ShowRows();
    void ApplyStatus();
    void SetToggleTexts(bool btOn, bool webFtpOn);
    void ShowMessage(int resultCode);
    void Layout(int width);
    // Fonts, icons, columns and layout for the display scale `dpi`.
    void ApplyDpi(UINT dpi);
    void LoadIcons();
    // Both headings in a bold form of the font that `source` has.
    void SetHeadingFont(HWND source);
    void PaintIcon();

    // ---- What the user can do (QuarrowCommands.cpp)
    void RegisterCommands();
    // The frame of a command: busy state, the call, its message or the refresh.
    template <typename Call>
    void Framed(Call&& call);
    void RunRowCommand(CJobPanel& panel, RowRole role, int row);
    // With a torrent file, the dialog opens with it filled in. False when the
    // user cancelled the dialog.
    bool AddBt(const std::string& torrentFile = std::string());
    void AddWebFtp();
    void Rescan();
    void SetDefaultFolder();
    // Adds a handed-over torrent file or link into the default save folder.
    bool AddHandedOver(const HandOver& handOver);
    // After the first connection attempt: the notification icon, the F5 key.
    void AfterFirstConnection();
    void UnhookRefreshKey();
    // ---- (QuarrowDrop.cpp)
    void OnDropFiles(HDROP drop);

    std::shared_ptr<WaitDialogHost> host_;
    client::CDeviceClient client_;
    CurrentStatus current_;
    std::string serverAddress_;  // of the last successful connection
    CJobPanel btPanel_, webPanel_;
    CTrayIcon tray_;
    CDownloadNotifier notifier_;
    CHandOverReceiver handOvers_;
    win::Icon icon_;       // large, at the window's scale
    win::Icon smallIcon_;  // small, likewise
    UINT dpi_ = 96;
    win::GdiObject headingFont_;
    bool layoutReady_ = false;
    win::Hook keyHook_;
};

}  // namespace app
