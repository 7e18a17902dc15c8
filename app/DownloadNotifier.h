// Telling the user about downloads that ended, in balloons from the
// notification icon: after each status it asks Notify.h which jobs are news,
// keeps the list of jobs told about per server, and shows the balloons one at
// a time; and the check item "Notify when downloads finish" of both menus.
#pragma once
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "app/ListCtrl.h"
#include "app/Notify.h"
#include "app/TrayIcon.h"

namespace app {

class CDownloadNotifier {
public:
    explicit CDownloadNotifier(CTrayIcon& tray) : tray_(tray) {}

    // At dialog initialisation: `timerId` paces the balloons on `window`.
    void Attach(HWND window, UINT_PTR timerId);
    // The menu items' command.
    void Toggle();
    // After each successful status from the server at `address`.
    void OnStatus(const std::string& address, const CurrentStatus& status);
    // The icon has been added: jobs that waited for it are told now.
    void OnIconAdded();
    void OnTimer() { ShowNextBalloon(); }
    void Stop();

private:
    void ShowCheck();
    void ShowNextBalloon();

    CTrayIcon& tray_;
    HWND window_ = nullptr;
    UINT_PTR timerId_ = 0;
    bool on_ = true;
    // The server whose list is loaded, its list, whether its first list has
    // been seen, the jobs still to be told.
    std::string server_;
    std::vector<std::string> notified_;
    bool established_ = false;
    std::deque<EndedJob> pending_;
    bool pacing_ = false;
};

}  // namespace app
