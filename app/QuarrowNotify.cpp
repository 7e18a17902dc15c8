// The main window's side of the notifications: after each status it asks
// Notify.h which jobs are news, remembers the list per server and shows the
// balloons from the notification icon, one at a time; and the check item
// "Notify when downloads finish" of both menus.
#include <windows.h>
#include <shellapi.h>

#include "app/QuarrowDlg.h"
#include "app/resource.h"
#include "common/WinUtil.h"

namespace app {

namespace {

constexpr UINT kTrayIconId = 0;
// A balloon is left alone this long before the next one takes its place: the
// shell shows one balloon of an icon at a time, a new one replacing the last.
constexpr UINT kBalloonPaceMs = 6000;

void (*g_balloonObserver)(const wchar_t*, const wchar_t*, DWORD) = nullptr;

NotifySettings Settings() { return NotifySettings(win::LoadResString(IDS_REGISTRY_KEY)); }

BalloonTexts LoadBalloonTexts() {
    return {win::LoadResString(IDS_NOTIFY_FINISHED),      win::LoadResString(IDS_NOTIFY_FAILED),
            win::LoadResString(IDS_NOTIFY_SUMMARY),       win::LoadResString(IDS_NOTIFY_SOME_FINISHED),
            win::LoadResString(IDS_NOTIFY_SOME_FAILED),   win::LoadResString(IDS_NOTIFY_SOME_ENDED)};
}

void SetCheckItem(HMENU menu, UINT id, UINT textId, bool checked) {
    if (!menu) return;
    std::string text = win::LoadResString(textId);
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_STATE;
    info.dwTypeData = text.data();
    info.fState = checked ? MFS_CHECKED : MFS_UNCHECKED;
    ::SetMenuItemInfoA(menu, id, FALSE, &info);
}

}  // namespace

void CQuarrowDlg::SetBalloonObserverForTesting(void (*observer)(const wchar_t*, const wchar_t*, DWORD)) {
    g_balloonObserver = observer;
}

void CQuarrowDlg::InitNotify() {
    notifyOn_ = Settings().Enabled();
    ShowNotifyCheck();
}

void CQuarrowDlg::ShowNotifyCheck() {
    SetCheckItem(::GetSubMenu(::GetMenu(Hwnd()), 1), ID_MENU_NOTIFY, IDS_MENU_NOTIFY, notifyOn_);
    SetCheckItem(::GetSubMenu(trayMenu_, 0), ID_TRAY_NOTIFY, IDS_TRAY_NOTIFY, notifyOn_);
    ::DrawMenuBar(Hwnd());
}

void CQuarrowDlg::ToggleNotify() {
    notifyOn_ = !notifyOn_;
    Settings().SetEnabled(notifyOn_);
    ShowNotifyCheck();
    if (!notifyOn_) {
        // What was not told yet stays untold: the user asked for quiet.
        pendingBalloons_.clear();
        StopBalloons();
    }
}

void CQuarrowDlg::NotifyEndedJobs() {
    NotifySettings settings = Settings();
    if (!notifyEstablished_ || notifyServer_ != serverAddress_) {
        notifyServer_ = serverAddress_;
        // A server without a list is met for the first time: what ended
        // before is old news.
        notifyEstablished_ = settings.Load(notifyServer_, notified_);
    }
    std::vector<SeenJob> jobs = SeenJobs(current_.btItems, current_.webFtpItems);
    NoticeDecision decision = DecideNotices(notified_, notifyEstablished_, jobs);
    // A server that lists no job at all leaves nothing behind in the settings.
    bool save = decision.remembered != notified_ || (!notifyEstablished_ && !jobs.empty());
    notified_ = std::move(decision.remembered);
    if (save) settings.Save(notifyServer_, notified_);
    // From now on in this run every end is news, stored or not.
    notifyEstablished_ = true;
    if (!notifyOn_ || decision.fresh.empty()) return;
    pendingBalloons_.insert(pendingBalloons_.end(), decision.fresh.begin(), decision.fresh.end());
    if (!balloonPacing_) ShowNextBalloon();
}

void CQuarrowDlg::ShowNextBalloon() {
    // Before the icon is added (the first list comes before it) the jobs wait.
    if (pendingBalloons_.empty() || !trayIconAdded_ || !Hwnd()) return StopBalloons();
    Balloon balloon = NextBalloon(pendingBalloons_, LoadBalloonTexts());
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = Hwnd();
    icon.uID = kTrayIconId;
    icon.uFlags = NIF_INFO;
    icon.dwInfoFlags = balloon.failed ? NIIF_WARNING : NIIF_INFO;
    icon.uTimeout = kBalloonPaceMs;
    std::wstring title = FitField(win::AnsiToWide(balloon.title), ARRAYSIZE(icon.szInfoTitle));
    std::wstring text = FitField(win::AnsiToWide(balloon.text), ARRAYSIZE(icon.szInfo));
    // An empty text would take the balloon down instead of showing it.
    if (text.empty()) text = L" ";
    lstrcpynW(icon.szInfoTitle, title.c_str(), ARRAYSIZE(icon.szInfoTitle));
    lstrcpynW(icon.szInfo, text.c_str(), ARRAYSIZE(icon.szInfo));
    ::Shell_NotifyIconW(NIM_MODIFY, &icon);
    if (g_balloonObserver) g_balloonObserver(icon.szInfoTitle, icon.szInfo, icon.dwInfoFlags);
    ::SetTimer(Hwnd(), kBalloonTimer, kBalloonPaceMs, nullptr);
    balloonPacing_ = true;
}

void CQuarrowDlg::StopBalloons() {
    if (Hwnd()) ::KillTimer(Hwnd(), kBalloonTimer);
    balloonPacing_ = false;
}

}  // namespace app
