// The main window's side of a hand-over: the WM_COPYDATA payload checked and
// copied, the sender released, and the torrent file or link added at once
// when the window is idle, or queued until it is.
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <utility>

#include "app/BusyScope.h"
#include "app/HandOverMessage.h"

namespace app {

// Hand-overs that reached the main window while it was busy, waiting in their
// order for it to be idle. Bounded, so that a flood of them (or one sent again
// and again) cannot grow it without end; one that already waits is not queued
// a second time.
class HandOverQueue {
public:
    static constexpr size_t kLimit = 32;

    // False when the hand-over is dropped: the same one waits already, or the
    // queue is full.
    bool Push(HandOver handOver);
    bool Empty() const { return items_.empty(); }
    size_t Size() const { return items_.size(); }
    // While `ready()` holds, hands the waiting hand-overs to `add` one by one.
    // An `add` that returns false (no server to add to) ends the queue: the
    // rest is dropped rather than each asking for a server again.
    template <typename Ready, typename Add>
    void Drain(Ready&& ready, Add&& add) {
        while (!items_.empty() && ready()) {
            HandOver next = std::move(items_.front());
            items_.pop_front();
            if (!add(next)) items_.clear();
        }
    }
    void Clear() { items_.clear(); }

private:
    std::deque<HandOver> items_;
};

class CHandOverReceiver {
public:
    // Adds one hand-over; false when no server could be connected to (the
    // user gave up the selection): the waiting ones are dropped then.
    using Add = std::function<bool(const HandOver&)>;

    CHandOverReceiver(IBusyState& busy, Add add) : busy_(busy), add_(std::move(add)) {}

    // `timerId` on `window` brings back a hand-over that had to wait.
    void Attach(HWND window, UINT_PTR timerId);
    // WM_COPYDATA; the message's result.
    INT_PTR OnCopyData(const COPYDATASTRUCT* copy);
    void OnTimer();
    void Stop();

private:
    void RetryLater();

    IBusyState& busy_;
    Add add_;
    HWND window_ = nullptr;
    UINT_PTR timerId_ = 0;
    HandOverQueue pending_;  // arrived while the window was busy
};

}  // namespace app
