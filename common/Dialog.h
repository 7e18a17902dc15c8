// Dialog base class shared by both programs: one static dialog procedure stores
// `this` at WM_INITDIALOG and hands messages to per-class tables filled in the
// derived constructor. The tables are frozen once the dialog runs; adding to
// them later is a programming error (a stop in debug builds).
//
// The procedure trusts nothing that another process can send: WM_INITDIALOG is
// taken once, and only with the object that created the dialog; WM_NOTIFY
// without a header, or sent from another thread or process (its pointer means
// nothing here), is ignored; no exception leaves it (a trace is left).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace win {

// A dialog's items by control ID. GetDlgItem lists the dialog's children at
// every call (under Wine a request to the window server each time); a dialog
// keeps its controls, so each handle found is kept, and checked before it is
// used again. Only on the dialog's own thread; elsewhere it asks the system.
class CItemCache {
public:
    HWND Find(HWND dialog, int id) const;

private:
    mutable std::map<int, HWND> items_;
};

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

    // Items by control ID, in the manner of every dialog framework: the
    // dialog's own window and its children are reached through these only.
    HWND Item(int id) const { return items_.Find(hwnd_, id); }
    LRESULT SendItemMessage(int id, UINT message, WPARAM wp = 0, LPARAM lp = 0) const;
    std::string GetItemText(int id) const;
    void SetItemText(int id, const std::string& text) const;
    // The text of string `stringId` of the program's string table.
    void SetItemText(int id, UINT stringId) const;
    // Several items at once: {control ID, string ID} pairs.
    void SetItemTexts(std::initializer_list<std::pair<int, UINT>> texts) const;
    // The dialog's caption.
    void SetText(const std::string& text) const;
    void SetText(UINT stringId) const;
    void EnableItem(int id, bool enable = true) const;
    void ShowItem(int id, bool show = true) const;
    void FocusItem(int id) const;
    void CheckButton(int id, bool checked = true) const;
    bool IsButtonChecked(int id) const;
    // Checks `id` and clears the other radio buttons first..last.
    void CheckRadioButton(int first, int last, int id) const;
    // A message box over this dialog with the program's title.
    int ShowMessage(UINT textId, UINT type = MB_OK) const;

protected:
    CDialog() = default;

    using MessageHandler = std::function<INT_PTR(WPARAM, LPARAM)>;
    using CommandHandler = std::function<void()>;
    using RangeHandler = std::function<void(int id)>;
    using NotifyHandler = std::function<INT_PTR(NMHDR*)>;

    // Table entries; only valid before the dialog runs (DoModal, Create).
    void OnMessage(UINT message, MessageHandler handler);
    // WM_COMMAND from control `id` with notification `code`.
    void OnCommand(int id, UINT code, CommandHandler handler);
    // A button click or a menu item: OnCommand(id, BN_CLICKED, ...).
    void OnClicked(int id, CommandHandler handler) { OnCommand(id, BN_CLICKED, std::move(handler)); }
    // Controls first..last with one notification code, e.g. a row of buttons.
    void OnCommandRange(int first, int last, UINT code, RangeHandler handler);
    void OnNotify(int controlId, UINT code, NotifyHandler handler);
    template <typename T>
    void OnNotifyAs(int controlId, UINT code, std::function<INT_PTR(T&)> handler) {
        OnNotify(controlId, code, [h = std::move(handler)](NMHDR* header) { return h(*reinterpret_cast<T*>(header)); });
    }
    // Typed forms of the messages that need unpacking.
    void OnTimer(std::function<void(UINT_PTR id)> handler);
    void OnSize(std::function<void(UINT type, int cx, int cy)> handler);

    // Inside a handler: let the default dialog processing run as well.
    void PassToDefault() { passOn_ = true; }

    // WM_INITDIALOG: return TRUE to let the system set the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    // Asked before a WM_COMMAND reaches its handler: false drops it unhandled
    // (a window that is in the middle of other work, say).
    virtual bool AcceptsCommand(int /*id*/, UINT /*code*/) { return true; }

private:
    static INT_PTR CALLBACK StaticProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);
    static CDialog* TakeInitDialog(HWND hwnd, LPARAM lp);
    INT_PTR Dispatch(UINT message, WPARAM wp, LPARAM lp, bool& handled);
    bool Reflect(UINT message, WPARAM wp, LPARAM lp, INT_PTR& result);
    bool Frozen(const char* what);

    struct Range {
        int first, last;
        UINT code;
        RangeHandler handler;
    };

    HWND hwnd_ = nullptr;
    bool modal_ = false;
    bool frozen_ = false;
    bool initialised_ = false;
    bool passOn_ = false;
    std::map<UINT, MessageHandler> messages_;
    std::map<std::pair<int, UINT>, CommandHandler> commands_;
    std::vector<Range> ranges_;
    std::map<std::pair<int, UINT>, NotifyHandler> notifications_;
    CItemCache items_;
};

// Loads a string from the module's string table; empty when absent.
std::string LoadResString(UINT id, HINSTANCE instance = nullptr);

// Every message box of a program carries the same title: set it once at
// start-up, before any thread shows one. Until then the title is the program
// file's name without its extension.
void SetMessageTitle(const std::string& title);
const std::string& MessageTitle();
// A message box with the program's title; the text as given or from the
// string table. Returns what MessageBox returns.
int ShowMessage(HWND owner, const std::string& text, UINT type = MB_OK);
int ShowMessage(HWND owner, UINT textId, UINT type = MB_OK);

}  // namespace win
