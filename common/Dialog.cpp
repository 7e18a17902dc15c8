#include "Dialog.h"

#include <commctrl.h>

namespace win {

CDialog::~CDialog() {
    if (hwnd_ && !modal_) ::DestroyWindow(hwnd_);
}

INT_PTR CDialog::DoModal(HINSTANCE instance, UINT templateId, HWND parent) {
    modal_ = true;
    frozen_ = true;
    return ::DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), parent, &CDialog::StaticProc,
                             reinterpret_cast<LPARAM>(this));
}

HWND CDialog::Create(HINSTANCE instance, UINT templateId, HWND parent) {
    modal_ = false;
    frozen_ = true;
    return ::CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), parent, &CDialog::StaticProc,
                                reinterpret_cast<LPARAM>(this));
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

void CDialog::SetItemText(int id, const std::string& text) const {
    ::SetDlgItemTextA(hwnd_, id, text.c_str());
}

void CDialog::OnMessage(UINT message, MessageHandler handler) {
    if (!frozen_) messages_[message] = std::move(handler);
}

void CDialog::OnCommand(int id, CommandHandler handler) {
    if (!frozen_) commands_[id] = std::move(handler);
}

void CDialog::OnNotify(int controlId, UINT code, NotifyHandler handler) {
    if (!frozen_) notifications_[{controlId, code}] = std::move(handler);
}

INT_PTR CALLBACK CDialog::StaticProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lp);
        ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (!self) return FALSE;

    INT_PTR result = FALSE;
    bool handled = false;
    // No exception may leave a dialog procedure.
    try {
        result = self->Dispatch(message, wp, lp, handled);
    } catch (...) {
        handled = false;
        result = FALSE;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->hwnd_ = nullptr;
    }
    if (handled && message != WM_INITDIALOG && message != WM_CTLCOLORSTATIC &&
        message != WM_CTLCOLORDLG && message != WM_CTLCOLORBTN && message != WM_CTLCOLOREDIT &&
        message != WM_CTLCOLORLISTBOX)
        ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
    return message == WM_INITDIALOG ? result : (handled ? (result ? result : TRUE) : FALSE);
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wp, LPARAM lp, bool& handled) {
    if (message == WM_INITDIALOG) {
        handled = true;
        return OnInitDialog();
    }
    if (message == WM_COMMAND) {
        auto it = commands_.find(LOWORD(wp));
        if (it != commands_.end()) {
            handled = true;
            it->second();
            return 0;
        }
    } else if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lp);
        auto it = notifications_.find({static_cast<int>(header->idFrom), header->code});
        if (it != notifications_.end()) {
            handled = true;
            return it->second(header);
        }
    }
    auto it = messages_.find(message);
    if (it != messages_.end()) {
        handled = true;
        return it->second(wp, lp);
    }
    return FALSE;
}

std::string LoadResString(UINT id, HINSTANCE instance) {
    if (!instance) instance = ::GetModuleHandleA(nullptr);
    char buffer[1024] = {};
    int n = ::LoadStringA(instance, id, buffer, sizeof buffer);
    return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

}  // namespace win
