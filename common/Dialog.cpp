#include "Dialog.h"

#include <exception>
#include <utility>

#include "common/Control.h"
#include "common/Handle.h"
#include "common/Trace.h"
#include "common/WinUtil.h"

namespace win {

namespace {
// The object whose dialog this thread is creating right now: the only one a
// WM_INITDIALOG may attach.
thread_local CDialog* t_creating = nullptr;

// The child a parent's message is about, for the control's reflected handlers.
HWND SourceOf(HWND dialog, UINT message, WPARAM wp, LPARAM lp) {
    switch (message) {
    case WM_COMMAND:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<HWND>(lp);
    case WM_NOTIFY:
        return reinterpret_cast<NMHDR*>(lp)->hwndFrom;
    case WM_DRAWITEM: {
        auto* draw = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
        return draw && draw->CtlType != ODT_MENU ? draw->hwndItem : nullptr;
    }
    case WM_MEASUREITEM:
        return wp ? ::GetDlgItem(dialog, static_cast<int>(wp)) : nullptr;
    default:
        return nullptr;
    }
}

// Messages whose answer a dialog procedure gives as its return value, not
// through DWLP_MSGRESULT.
bool AnswersByReturnValue(UINT message) {
    return (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) || message == WM_QUERYDRAGICON ||
           message == WM_COMPAREITEM || message == WM_VKEYTOITEM || message == WM_CHARTOITEM;
}

// The thread's information block: GetCurrentThreadStackLimits is not on
// every system this runs on. (GCC takes the segment read for an array access.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
const NT_TIB* ThreadInformation() { return reinterpret_cast<const NT_TIB*>(::NtCurrentTeb()); }
#pragma GCC diagnostic pop

// Whether this thread sent the WM_NOTIFY being handled: nothing translates
// its pointer between threads and processes, so only such a notification is
// read. A thread that is not handling another thread's message sent it
// itself. While it is handling one, the notification is either that message
// (its header lies in the sender's memory, or nowhere) or comes from one of
// this thread's controls notifying as it handles that message: the control
// built the header on this thread's stack, in a frame that is still running.
// (A WH_CALLWNDPROC hook would name the sender of every message, but under
// Wine it costs three round trips to the server for every message the thread
// sends, which was a third of the main window's start.)
bool SentByThisThread(LPARAM lp) {
    if (!lp) return false;
    if ((::InSendMessageEx(nullptr) & (ISMEX_SEND | ISMEX_NOTIFY | ISMEX_CALLBACK)) == 0) return true;
    volatile char here = 0;
    const auto base = reinterpret_cast<ULONG_PTR>(ThreadInformation()->StackBase);
    const auto at = static_cast<ULONG_PTR>(lp);
    return at > reinterpret_cast<ULONG_PTR>(&here) && at < base && base - at >= sizeof(NMHDR);
}
}  // namespace

HWND CItemCache::Find(HWND dialog, int id) const {
    if (!dialog || ::GetWindowThreadProcessId(dialog, nullptr) != ::GetCurrentThreadId())
        return ::GetDlgItem(dialog, id);
    auto it = items_.find(id);
    if (it != items_.end() && ::IsWindow(it->second) && ::GetParent(it->second) == dialog &&
        ::GetDlgCtrlID(it->second) == id)
        return it->second;
    HWND item = ::GetDlgItem(dialog, id);
    if (item)
        items_[id] = item;
    else
        items_.erase(id);
    return item;
}

CDialog::~CDialog() {
    if (hwnd_ && !modal_) ::DestroyWindow(hwnd_);
}

INT_PTR CDialog::DoModal(HINSTANCE instance, UINT templateId, HWND parent) {
    modal_ = true;
    frozen_ = true;
    t_creating = this;
    INT_PTR result = ::DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), parent, &CDialog::StaticProc,
                                       reinterpret_cast<LPARAM>(this));
    if (t_creating == this) t_creating = nullptr;
    return result;
}

HWND CDialog::Create(HINSTANCE instance, UINT templateId, HWND parent) {
    modal_ = false;
    frozen_ = true;
    t_creating = this;
    HWND window = ::CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), parent, &CDialog::StaticProc,
                                       reinterpret_cast<LPARAM>(this));
    if (t_creating == this) t_creating = nullptr;
    return window;
}

void CDialog::End(INT_PTR code) {
    if (!hwnd_) return;
    if (modal_)
        ::EndDialog(hwnd_, code);
    else
        ::DestroyWindow(hwnd_);
}

std::string CDialog::GetItemText(int id) const {
    HWND item = Item(id);
    int len = item ? ::GetWindowTextLengthA(item) : 0;
    std::string text(static_cast<size_t>(len) + 1, '\0');
    if (item) ::GetWindowTextA(item, text.data(), len + 1);
    text.resize(::strlen(text.c_str()));
    return text;
}

void CDialog::SetItemText(int id, const std::string& text) const { ::SetWindowTextA(Item(id), text.c_str()); }

void CDialog::SetItemText(int id, UINT stringId) const { SetItemText(id, LoadResString(stringId)); }

void CDialog::SetItemTexts(std::initializer_list<std::pair<int, UINT>> texts) const {
    for (const auto& [id, stringId] : texts) SetItemText(id, stringId);
}

void CDialog::SetText(const std::string& text) const { ::SetWindowTextA(hwnd_, text.c_str()); }

void CDialog::SetText(UINT stringId) const { SetText(LoadResString(stringId)); }

LRESULT CDialog::SendItemMessage(int id, UINT message, WPARAM wp, LPARAM lp) const {
    HWND item = Item(id);
    return item ? ::SendMessageA(item, message, wp, lp) : 0;
}

void CDialog::EnableItem(int id, bool enable) const { ::EnableWindow(Item(id), enable ? TRUE : FALSE); }

void CDialog::ShowItem(int id, bool show) const { ::ShowWindow(Item(id), show ? SW_SHOW : SW_HIDE); }

void CDialog::FocusItem(int id) const { ::SetFocus(Item(id)); }

void CDialog::CheckButton(int id, bool checked) const {
    ::CheckDlgButton(hwnd_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool CDialog::IsButtonChecked(int id) const { return ::IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }

void CDialog::CheckRadioButton(int first, int last, int id) const { ::CheckRadioButton(hwnd_, first, last, id); }

int CDialog::ShowMessage(UINT textId, UINT type) const { return win::ShowMessage(hwnd_, textId, type); }

bool CDialog::Frozen(const char* what) {
    if (frozen_) ReportMisuse(what);
    return frozen_;
}

void CDialog::OnMessage(UINT message, MessageHandler handler) {
    if (!Frozen("dialog message handler registered after the dialog started")) messages_[message] = std::move(handler);
}

void CDialog::OnCommand(int id, UINT code, CommandHandler handler) {
    if (!Frozen("dialog command handler registered after the dialog started"))
        commands_[{id, code}] = std::move(handler);
}

void CDialog::OnCommandRange(int first, int last, UINT code, RangeHandler handler) {
    if (!Frozen("dialog command range registered after the dialog started"))
        ranges_.push_back({first, last, code, std::move(handler)});
}

void CDialog::OnNotify(int controlId, UINT code, NotifyHandler handler) {
    if (!Frozen("dialog notification handler registered after the dialog started"))
        notifications_[{controlId, code}] = std::move(handler);
}

void CDialog::OnTimer(std::function<void(UINT_PTR)> handler) {
    OnMessage(WM_TIMER, [h = std::move(handler)](WPARAM id, LPARAM) {
        h(id);
        return 0;
    });
}

void CDialog::OnSize(std::function<void(UINT, int, int)> handler) {
    OnMessage(WM_SIZE, [h = std::move(handler)](WPARAM type, LPARAM size) {
        h(static_cast<UINT>(type), static_cast<short>(LOWORD(size)), static_cast<short>(HIWORD(size)));
        return 0;
    });
}

CDialog* CDialog::TakeInitDialog(HWND hwnd, LPARAM lp) {
    // A window that already has its object keeps it; a parameter that is not
    // the object being created on this thread is not ours to dereference.
    if (::GetWindowLongPtrA(hwnd, DWLP_USER) != 0) return nullptr;
    auto* candidate = reinterpret_cast<CDialog*>(lp);
    if (!candidate || candidate != t_creating || candidate->initialised_) return nullptr;
    t_creating = nullptr;
    candidate->initialised_ = true;
    candidate->hwnd_ = hwnd;
    ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(candidate));
    return candidate;
}

INT_PTR CALLBACK CDialog::StaticProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = TakeInitDialog(hwnd, lp);
        if (!self) return FALSE;
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;

    INT_PTR result = FALSE;
    bool handled = false;
    // No exception may leave a dialog procedure: leave a trace and give the
    // default answer.
    try {
        result = self->Dispatch(message, wp, lp, handled);
    } catch (const std::exception& e) {
        Trace("dialog %p: exception in message 0x%04X: %s", static_cast<void*>(hwnd), message, e.what());
        handled = false;
        result = FALSE;
    } catch (...) {
        Trace("dialog %p: exception in message 0x%04X", static_cast<void*>(hwnd), message);
        handled = false;
        result = FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->hwnd_ = nullptr;
        // Its window is gone: the object may be shown again (the login prompt
        // shows one object for every retry), through DoModal or Create only.
        self->initialised_ = false;
    }
    if (message == WM_INITDIALOG) return result;
    if (!handled) return FALSE;
    // Colour messages, WM_QUERYDRAGICON and a few others (and WM_INITDIALOG)
    // answer through the return value; everything else through DWLP_MSGRESULT.
    if (AnswersByReturnValue(message)) return result;
    ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

bool CDialog::Reflect(UINT message, WPARAM wp, LPARAM lp, INT_PTR& result) {
    HWND child = SourceOf(hwnd_, message, wp, lp);
    if (!child || !::IsChild(hwnd_, child)) return false;
    CControl* control = CControl::FromHandle(child);
    LRESULT answer = 0;
    if (!control || !control->Reflect(message, wp, lp, answer)) return false;
    result = answer;
    return true;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wp, LPARAM lp, bool& handled) {
    if (message == WM_INITDIALOG) {
        handled = true;
        return OnInitDialog();
    }
    // Anyone can send WM_NOTIFY, and nothing translates its pointer between
    // processes: only a notification sent by this thread is read.
    if (message == WM_NOTIFY && !SentByThisThread(lp)) return FALSE;

    INT_PTR result = 0;
    if (Reflect(message, wp, lp, result)) {
        handled = true;
        return result;
    }

    // Runs one handler; a nested dispatch inside it keeps its own pass-on state.
    struct Restore {
        bool& flag;
        bool value;
        ~Restore() { flag = value; }
    };
    auto call = [&](auto&& handler) {
        Restore restore{passOn_, std::exchange(passOn_, false)};
        INT_PTR answer = handler();
        handled = !passOn_;
        return answer;
    };
    if (message == WM_COMMAND) {
        int id = LOWORD(wp);
        UINT code = HIWORD(wp);
        if (!AcceptsCommand(id, code)) return 0;
        auto it = commands_.find({id, code});
        if (it != commands_.end())
            return call([&] {
                it->second();
                return INT_PTR(0);
            });
        for (const Range& range : ranges_)
            if (range.code == code && id >= range.first && id <= range.last)
                return call([&] {
                    range.handler(id);
                    return INT_PTR(0);
                });
        // A modal dialog that says nothing about OK and Cancel ends with them,
        // so that no dialog is left without a way out.
        if (modal_ && code == BN_CLICKED && (id == IDOK || id == IDCANCEL) && !messages_.count(WM_COMMAND)) {
            End(id);
            handled = true;
            return 0;
        }
    } else if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lp);
        auto it = notifications_.find({static_cast<int>(header->idFrom), header->code});
        if (it != notifications_.end()) return call([&] { return it->second(header); });
    }
    auto it = messages_.find(message);
    if (it != messages_.end()) return call([&] { return it->second(wp, lp); });
    return FALSE;
}

std::string LoadResString(UINT id, HINSTANCE instance) {
    if (!instance) instance = ::GetModuleHandleA(nullptr);
    char buffer[1024] = {};
    int n = ::LoadStringA(instance, id, buffer, sizeof buffer);
    return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

namespace {
std::string& Title() {
    static std::string title = [] {
        std::string name = ModulePath();
        name = name.substr(name.find_last_of("\\/") + 1);
        return name.substr(0, name.rfind('.'));
    }();
    return title;
}
}  // namespace

void SetMessageTitle(const std::string& title) { Title() = title; }

const std::string& MessageTitle() { return Title(); }

int ShowMessage(HWND owner, const std::string& text, UINT type) {
    return ::MessageBoxA(owner, text.c_str(), MessageTitle().c_str(), type);
}

int ShowMessage(HWND owner, UINT textId, UINT type) { return ShowMessage(owner, LoadResString(textId), type); }

}  // namespace win
