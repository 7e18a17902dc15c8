#include "Control.h"

#include <commctrl.h>

#include <exception>
#include <map>
#include <mutex>
#include <utility>

#include "common/Trace.h"

namespace win {

namespace {
// Which object serves which window, and the procedure it took over. Kept here
// rather than in a window property, which another process could overwrite and
// which Wine reads from its server at every message (the common controls'
// SetWindowSubclass keeps its data in one).
struct Subclass {
    CControl* self = nullptr;  // none once detached beneath a later subclass
    WNDPROC previous = nullptr;
};
std::mutex g_mutex;
std::map<HWND, Subclass>& Attached() {
    static std::map<HWND, Subclass> attached;
    return attached;
}

Subclass Find(HWND window) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = Attached().find(window);
    return it == Attached().end() ? Subclass{} : it->second;
}
}  // namespace

CControl::~CControl() { Detach(); }

bool CControl::Attach(HWND window) {
    frozen_ = true;
    // Only a window of this thread: no message can reach it between taking
    // over its procedure and recording the old one.
    if (!window || hwnd_ || Find(window).previous || ::GetWindowThreadProcessId(window, nullptr) != ::GetCurrentThreadId())
        return false;
    auto previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CControl::StaticProc)));
    if (!previous) return false;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        Attached()[window] = Subclass{this, previous};
    }
    previous_ = previous;
    hwnd_ = window;
    OnAttached();
    return true;
}

void CControl::Detach() {
    if (!hwnd_) return;
    HWND window = std::exchange(hwnd_, nullptr);
    // Ours is the window's procedure: give the old one back. Another
    // procedure subclassed the window after us: ours stays in its chain and
    // passes everything on until the window is gone.
    bool ours = ::GetWindowLongPtrW(window, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&CControl::StaticProc);
    if (ours) ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
    std::lock_guard<std::mutex> lock(g_mutex);
    if (ours)
        Attached().erase(window);
    else
        Attached()[window].self = nullptr;
}

CControl* CControl::FromHandle(HWND window) { return Find(window).self; }

void CControl::OnMessage(UINT message, Handler handler) {
    if (frozen_) return ReportMisuse("control message handler registered after the control was attached");
    messages_[message] = std::move(handler);
}

void CControl::OnReflected(UINT message, Handler handler) {
    if (frozen_) return ReportMisuse("reflected handler registered after the control was attached");
    reflected_[message] = std::move(handler);
}

LRESULT CControl::Default(UINT message, WPARAM wp, LPARAM lp) {
    return hwnd_ ? ::CallWindowProcW(previous_, hwnd_, message, wp, lp) : 0;
}

bool CControl::Reflect(UINT message, WPARAM wp, LPARAM lp, LRESULT& result) {
    auto it = reflected_.find(message);
    if (it == reflected_.end()) return false;
    bool outer = std::exchange(passOn_, false);
    struct Restore {
        bool& flag;
        bool value;
        ~Restore() { flag = value; }
    };
    bool pass = false;
    try {
        Restore restore{passOn_, outer};
        result = it->second(wp, lp);
        pass = passOn_;
    } catch (const std::exception& e) {
        Trace("control %p: exception in reflected message 0x%04X: %s", static_cast<void*>(hwnd_), message, e.what());
        return false;
    } catch (...) {
        Trace("control %p: exception in reflected message 0x%04X", static_cast<void*>(hwnd_), message);
        return false;
    }
    return !pass;
}

LRESULT CALLBACK CControl::StaticProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    const Subclass entry = Find(window);
    if (!entry.previous) return ::DefWindowProcW(window, message, wp, lp);
    if (message == WM_NCDESTROY) {
        if (entry.self) entry.self->Detach();
        std::lock_guard<std::mutex> lock(g_mutex);
        Attached().erase(window);
    } else if (CControl* self = entry.self) {
        auto it = self->messages_.find(message);
        if (it != self->messages_.end()) {
            // No exception may leave a window procedure.
            try {
                return it->second(wp, lp);
            } catch (const std::exception& e) {
                Trace("control %p: exception in message 0x%04X: %s", static_cast<void*>(window), message, e.what());
            } catch (...) { Trace("control %p: exception in message 0x%04X", static_cast<void*>(window), message); }
        }
    }
    return ::CallWindowProcW(entry.previous, window, message, wp, lp);
}

}  // namespace win
