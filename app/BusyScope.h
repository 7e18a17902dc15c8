// The bracket around every piece of main-window work that talks to the server
// or opens a dialog: no timer refresh, no hand-over, no drop, no tray menu and
// no window command meanwhile. It nests. Held only as a scope, so that no
// early return or exception can leave the window busy for good.
#pragma once
#include "app/SharedState.h"

namespace app {

// Whoever keeps the busy state (the main window: it stops and restarts its
// refresh timer). The count itself lies in SharedState, where handing-over
// processes read it.
class IBusyState {
public:
    virtual ~IBusyState() = default;
    virtual void EnterBusy() = 0;
    virtual void LeaveBusy() = 0;
    static bool Idle() { return Shared().busyCount == 0; }
};

class BusyScope {
public:
    explicit BusyScope(IBusyState& state) : state_(state) { state_.EnterBusy(); }
    ~BusyScope() { state_.LeaveBusy(); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    IBusyState& state_;
};

}  // namespace app
