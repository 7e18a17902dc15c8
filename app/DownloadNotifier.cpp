#include "app/DownloadNotifier.h"

#include "resources/resource.h"
#include "common/Dialog.h"
#include "common/WinUtil.h"

namespace app {

namespace {

// A balloon is left alone this long before the next one takes its place: the
// shell shows one balloon of an icon at a time, a new one replacing the last.
constexpr UINT kBalloonPaceMs = 6000;

NotifySettings Settings() { return NotifySettings(settings::ProgramKey()); }

BalloonTexts LoadBalloonTexts() {
    return {win::LoadResString(IDS_NOTIFY_FINISHED),    win::LoadResString(IDS_NOTIFY_FAILED),
            win::LoadResString(IDS_NOTIFY_SUMMARY),     win::LoadResString(IDS_NOTIFY_SOME_FINISHED),
            win::LoadResString(IDS_NOTIFY_SOME_FAILED), win::LoadResString(IDS_NOTIFY_SOME_ENDED)};
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

void CDownloadNotifier::Attach(HWND window, UINT_PTR timerId) {
    window_ = window;
    timerId_ = timerId;
    on_ = Settings().Enabled();
    ShowCheck();
}

void CDownloadNotifier::ShowCheck() {
    SetCheckItem(::GetSubMenu(::GetMenu(window_), 1), ID_MENU_NOTIFY, IDS_MENU_NOTIFY, on_);
    SetCheckItem(tray_.Menu(), ID_TRAY_NOTIFY, IDS_TRAY_NOTIFY, on_);
    ::DrawMenuBar(window_);
}

void CDownloadNotifier::Toggle() {
    on_ = !on_;
    Settings().SetEnabled(on_);
    ShowCheck();
    if (!on_) {
        // What was not told yet stays untold: the user asked for quiet.
        pending_.clear();
        Stop();
    }
}

void CDownloadNotifier::OnStatus(const std::string& address, const CurrentStatus& status) {
    NotifySettings settings = Settings();
    if (!established_ || server_ != address) {
        server_ = address;
        // A server without a list is met for the first time: what ended
        // before is old news.
        established_ = settings.Load(server_, notified_);
    }
    std::vector<SeenJob> jobs = SeenJobs(status.btItems, status.webFtpItems);
    NoticeDecision decision = DecideNotices(notified_, established_, jobs);
    // A server that lists no job at all leaves nothing behind in the settings.
    bool save = decision.remembered != notified_ || (!established_ && !jobs.empty());
    notified_ = std::move(decision.remembered);
    if (save) settings.Save(server_, notified_);
    // From now on in this run every end is news, stored or not.
    established_ = true;
    if (!on_ || decision.fresh.empty()) return;
    pending_.insert(pending_.end(), decision.fresh.begin(), decision.fresh.end());
    if (!pacing_) ShowNextBalloon();
}

void CDownloadNotifier::OnIconAdded() {
    // Jobs that ended before the first list (while the program was not
    // running) are told now that there is an icon to tell them from.
    if (!pacing_) ShowNextBalloon();
}

void CDownloadNotifier::ShowNextBalloon() {
    // Before the icon is added (the first list comes before it) the jobs wait.
    if (pending_.empty() || !tray_.Added() || !window_) return Stop();
    Balloon balloon = NextBalloon(pending_, LoadBalloonTexts());
    tray_.ShowBalloon(balloon.title, balloon.text, balloon.failed, kBalloonPaceMs);
    ::SetTimer(window_, timerId_, kBalloonPaceMs, nullptr);
    pacing_ = true;
}

void CDownloadNotifier::Stop() {
    if (window_) ::KillTimer(window_, timerId_);
    pacing_ = false;
}

}  // namespace app
