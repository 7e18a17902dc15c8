#include "app/TrayIcon.h"

#include <shellapi.h>

#include "app/Notify.h"
#include "common/WinUtil.h"

namespace app {

namespace {
void (*g_balloonObserver)(const wchar_t*, const wchar_t*, DWORD) = nullptr;
}  // namespace

void CTrayIcon::SetBalloonObserverForTesting(void (*observer)(const wchar_t*, const wchar_t*, DWORD)) {
    g_balloonObserver = observer;
}

CTrayIcon::~CTrayIcon() { Remove(); }

void CTrayIcon::Attach(HWND owner, UINT menuId) {
    owner_ = owner;
    if (!menu_) menu_.Attach(::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuId)));
}

HMENU CTrayIcon::Menu() const { return menu_ ? ::GetSubMenu(menu_.Get(), 0) : nullptr; }

bool CTrayIcon::Add(UINT iconId, const std::string& tip) {
    if (added_ || !owner_ || !::IsWindow(owner_)) return false;
    NOTIFYICONDATAA icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = owner_;
    icon.uID = kId;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = kCallbackMessage;
    // The shell keeps a copy of its own.
    win::Icon image(
        static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconId), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0)));
    icon.hIcon = image.Get();
    lstrcpynA(icon.szTip, tip.c_str(), sizeof icon.szTip);
    added_ = ::Shell_NotifyIconA(NIM_ADD, &icon) != FALSE;
    return added_;
}

void CTrayIcon::Remove() {
    if (!Added()) return;
    NOTIFYICONDATAA icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = owner_;
    icon.uID = kId;
    ::Shell_NotifyIconA(NIM_DELETE, &icon);
    added_ = false;
}

void CTrayIcon::OnCallback(WPARAM id, LPARAM mouse, bool menuAllowed) {
    if (id != kId || !owner_) return;
    if (mouse == WM_LBUTTONDBLCLK) ::ShowWindow(owner_, SW_SHOW);
    if (mouse == WM_RBUTTONUP && menuAllowed) {
        POINT at;
        ::GetCursorPos(&at);
        // Without the foreground the menu would not close when the user clicks elsewhere.
        ::SetForegroundWindow(owner_);
        if (HMENU popup = Menu()) ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, at.x, at.y, 0, owner_, nullptr);
        ::PostMessageA(owner_, WM_NULL, 0, 0);
    }
}

void CTrayIcon::ShowBalloon(const std::string& title, const std::string& text, bool warning, UINT timeoutMs) {
    if (!Added()) return;
    NOTIFYICONDATAW icon = {};
    icon.cbSize = sizeof icon;
    icon.hWnd = owner_;
    icon.uID = kId;
    icon.uFlags = NIF_INFO;
    icon.dwInfoFlags = warning ? NIIF_WARNING : NIIF_INFO;
    icon.uTimeout = timeoutMs;
    std::wstring wideTitle = FitField(win::AnsiToWide(title), ARRAYSIZE(icon.szInfoTitle));
    std::wstring wideText = FitField(win::AnsiToWide(text), ARRAYSIZE(icon.szInfo));
    // An empty text would take the balloon down instead of showing it.
    if (wideText.empty()) wideText = L" ";
    lstrcpynW(icon.szInfoTitle, wideTitle.c_str(), ARRAYSIZE(icon.szInfoTitle));
    lstrcpynW(icon.szInfo, wideText.c_str(), ARRAYSIZE(icon.szInfo));
    ::Shell_NotifyIconW(NIM_MODIFY, &icon);
    if (g_balloonObserver) g_balloonObserver(icon.szInfoTitle, icon.szInfo, icon.dwInfoFlags);
}

}  // namespace app
