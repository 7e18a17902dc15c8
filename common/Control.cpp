#include "Control.h"

#include <commctrl.h>

#include <exception>
#include <map>
#include <mutex>
#include <utility>

#include "common/Trace.h"

namespace win {

namespace {
constexpr UINT_PTR kSubclassId = 0x5157;  // one subclass of ours per window

// Which object serves which window. Kept here rather than in a window property,
// which another process could overwrite.
std::mutex g_mutex;
std::map<HWND, CControl*>& Attached() {
    static std::map<HWND, CControl*> attached;
    return attached;
}
}  // namespace

CControl::~CControl() { Detach(); }

bool CControl::Attach(HWND window) {
    frozen_ = true;
    if (!window || hwnd_ || FromHandle(window)) return false;
    if (!::SetWindowSubclass(window, &CControl::StaticProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    hwnd_ = window;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        Attached()[window] = this;
    }
    OnAttached();
    return true;
}

void CControl::Detach() {
    if (!hwnd_) return;
    ::RemoveWindowSubclass(hwnd_, &CControl::StaticProc, kSubclassId);
    std::lock_guard<std::mutex> lock(g_mutex);
    Attached().erase(hwnd_);
    hwnd_ = nullptr;
}

CControl* CControl::FromHandle(HWND window) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = Attached().find(window);
    return it == Attached().end() ? nullptr : it->second;
}

void CControl::OnMessage(UINT message, Handler handler) {
    if (frozen_) return ReportMisuse("control message handler registered after the control was attached");
    messages_[message] = std::move(handler);
}

void CControl::OnReflected(UINT message, Handler handler) {
    if (frozen_) return ReportMisuse("reflected handler registered after the control was attached");
    reflected_[message] = std::move(handler);
}

LRESULT CControl::Default(UINT message, WPARAM wp, LPARAM lp) {
    return hwnd_ ? ::DefSubclassProc(hwnd_, message, wp, lp) : 0;
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

LRESULT CALLBACK CControl::StaticProc(HWND window, UINT message, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<CControl*>(data);
    if (message == WM_NCDESTROY) {
        if (self) self->Detach();
        return ::DefSubclassProc(window, message, wp, lp);
    }
    if (self) {
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
    return ::DefSubclassProc(window, message, wp, lp);
}

}  // namespace win
