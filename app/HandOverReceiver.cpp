#include "app/HandOverReceiver.h"

namespace app {

namespace {
// A hand-over that arrives while the window is busy waits this long between looks.
constexpr UINT kRetryMs = 1000;
}  // namespace

bool HandOverQueue::Push(HandOver handOver) {
    for (const HandOver& waiting : items_)
        if (waiting.kind == handOver.kind && waiting.first == handOver.first && waiting.second == handOver.second)
            return false;
    if (items_.size() >= kLimit) return false;
    items_.push_back(std::move(handOver));
    return true;
}

void CHandOverReceiver::Attach(HWND window, UINT_PTR timerId) {
    window_ = window;
    timerId_ = timerId;
}

INT_PTR CHandOverReceiver::OnCopyData(const COPYDATASTRUCT* copy) {
    // The payload comes from another process: anything that does not read
    // cleanly is ignored.
    HandOver handOver;
    if (!copy || !ReadHandOverMessage(copy->lpData, copy->cbData, handOver)) return FALSE;
    if (!IBusyState::Idle()) {
        // The sender saw the window idle, but something started since (the
        // refresh timer, a command): keep the hand-over for when it is idle.
        pending_.Push(std::move(handOver));
        ::ReplyMessage(TRUE);
        if (!pending_.Empty()) RetryLater();
        return TRUE;
    }
    BusyScope busy(busy_);
    ::ReplyMessage(TRUE);  // the texts are ours now; the sender may end
    if (!add_(handOver)) pending_.Clear();
    return TRUE;
}

void CHandOverReceiver::OnTimer() {
    if (!IBusyState::Idle()) return;
    ::KillTimer(window_, timerId_);
    pending_.Drain([this] { return IBusyState::Idle() && ::IsWindow(window_); },
                   [this](const HandOver& next) { return add_(next); });
    if (!pending_.Empty()) RetryLater();
}

void CHandOverReceiver::RetryLater() { ::SetTimer(window_, timerId_, kRetryMs, nullptr); }

void CHandOverReceiver::Stop() {
    if (window_) ::KillTimer(window_, timerId_);
}

}  // namespace app
