// Base class for subclassed controls (the owner-drawn job list, the scroll
// bar, the wizard's controls): one static subclass procedure finds the object,
// a per-class table filled in the constructor maps messages to members, and
// what the parent dialog receives about the control (drawing, scrolling,
// notifications) can be handled by the control itself.
#pragma once
#include <windows.h>

#include <functional>
#include <map>

namespace win {

class CDialog;

class CControl {
public:
    CControl(const CControl&) = delete;
    CControl& operator=(const CControl&) = delete;
    virtual ~CControl();

    // Subclasses the window (normally a dialog item). The table is frozen from
    // here on. False if the window is missing or already attached.
    bool Attach(HWND window);
    bool AttachItem(HWND dialog, int id) { return Attach(::GetDlgItem(dialog, id)); }
    void Detach();
    HWND Hwnd() const { return hwnd_; }

    // The object attached to a window of this process, or nullptr.
    static CControl* FromHandle(HWND window);

protected:
    CControl() = default;

    using Handler = std::function<LRESULT(WPARAM, LPARAM)>;

    // Messages sent to the control itself. Only valid before Attach.
    void OnMessage(UINT message, Handler handler);
    // Messages that the parent dialog receives about this control
    // (WM_COMMAND, WM_NOTIFY, WM_DRAWITEM, WM_MEASUREITEM, WM_HSCROLL,
    // WM_VSCROLL, WM_CTLCOLOR...): offered here before the dialog's own table.
    void OnReflected(UINT message, Handler handler);

    // Called once the window is subclassed, for work that needs the window.
    virtual void OnAttached() {}

    // The control's own processing of a message (the class's procedure).
    LRESULT Default(UINT message, WPARAM wp, LPARAM lp);
    // Called inside a reflected handler: let the dialog's table and the default
    // processing run as if the handler were not there.
    void PassOn() { passOn_ = true; }

private:
    friend class CDialog;
    static LRESULT CALLBACK StaticProc(HWND window, UINT message, WPARAM wp, LPARAM lp);
    bool Reflect(UINT message, WPARAM wp, LPARAM lp, LRESULT& result);

    HWND hwnd_ = nullptr;
    WNDPROC previous_ = nullptr;  // the window's procedure before ours
    bool frozen_ = false;
    bool passOn_ = false;
    std::map<UINT, Handler> messages_;
    std::map<UINT, Handler> reflected_;
};

}  // namespace win
