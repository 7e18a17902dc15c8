// The main window's icon in the notification area: adding and removing it,
// its pop-up menu, and the balloons shown from it.
#pragma once
#include <windows.h>

#include <string>

#include "common/Handle.h"

namespace app {

class CTrayIcon {
public:
    // The message the icon sends its window about the mouse.
    static constexpr UINT kCallbackMessage = WM_USER + 5;

    CTrayIcon() = default;
    ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Test seam, for a test build's entry point only: told of every balloon
    // shown (the shell keeps its title to itself).
    static void SetBalloonObserverForTesting(void (*observer)(const wchar_t* title, const wchar_t* text, DWORD icon));

    // The window the icon belongs to, and the menu resource whose first
    // submenu pops up.
    void Attach(HWND owner, UINT menuId);
    HMENU Menu() const;

    // Shows the icon with the icon resource and tip.
    bool Add(UINT iconId, const std::string& tip);
    void Remove();
    bool Added() const { return added_; }

    // The callback message: a double-click shows the window; a right click
    // opens the menu where the cursor is, unless `menuAllowed` is false.
    void OnCallback(WPARAM id, LPARAM mouse, bool menuAllowed);

    // Shows one balloon for `timeoutMs`; a new one takes the place of the last.
    void ShowBalloon(const std::string& title, const std::string& text, bool warning, UINT timeoutMs);

private:
    static constexpr UINT kId = 0;
    HWND owner_ = nullptr;
    win::Menu menu_;
    bool added_ = false;
};

}  // namespace app
