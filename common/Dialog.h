// Dialog base class shared by both programs: one static dialog procedure stores
// `this` at WM_INITDIALOG and hands messages to per-class tables filled in the
// derived constructor. The tables are frozen once the dialog runs.
#pragma once
#include <windows.h>
#include <functional>
#include <map>
#include <string>
#include <utility>

namespace win {

class CDialog {
public:
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;
    virtual ~CDialog();

    // Modal: runs its own loop and returns the code given to End().
    INT_PTR DoModal(HINSTANCE instance, UINT templateId, HWND parent);
    // Modeless: returns the window, or nullptr.
    HWND Create(HINSTANCE instance, UINT templateId, HWND parent);

    HWND Hwnd() const { return hwnd_; }
    void End(INT_PTR code);
    bool IsModal() const { return modal_; }

    std::string GetItemText(int id) const;
    void SetItemText(int id, const std::string& text) const;
    HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }

protected:
    CDialog() = default;

    using MessageHandler = std::function<INT_PTR(WPARAM, LPARAM)>;
    using CommandHandler = std::function<void()>;
    using NotifyHandler = std::function<INT_PTR(NMHDR*)>;

    // Table entries. Only valid before the dialog window exists.
    void OnMessage(UINT message, MessageHandler handler);
    void OnCommand(int id, CommandHandler handler);
    void OnNotify(int controlId, UINT code, NotifyHandler handler);

    // WM_INITDIALOG: return TRUE to let the system set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }

private:
    static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);
    INT_PTR Dispatch(UINT message, WPARAM wp, LPARAM lp, bool& handled);

    HWND hwnd_ = nullptr;
    bool modal_ = false;
    bool frozen_ = false;
    std::map<UINT, MessageHandler> messages_;
    std::map<int, CommandHandler> commands_;
    std::map<std::pair<int, UINT>, NotifyHandler> notifications_;
};

// Loads a string from the module's string table; empty when absent.
std::string LoadResString(UINT id, HINSTANCE instance = nullptr);

}  // namespace win
