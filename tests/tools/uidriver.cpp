// A small driver for window tests: finds a top-level window by a text one of
// its children shows, lists the texts of its children, presses its buttons.
//   uidriver find TEXT TIMEOUT_MS        prints the window handle, exit 1 if none
//   uidriver texts HWND                  one child text per line
//   uidriver click HWND BUTTON_TEXT
//   uidriver count-top TITLE             visible top-level windows with that title
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string TextOf(HWND window) {
    wchar_t wide[512] = {};
    // Sent as wide text: some controls of other processes answer A requests in UTF-16.
    ::SendMessageW(window, WM_GETTEXT, 511, reinterpret_cast<LPARAM>(wide));
    char text[1024] = {};
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

BOOL CALLBACK CollectAll(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectVisible(HWND window, LPARAM list) {
    if (::IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    ::EnumChildWindows(parent, &CollectAll, reinterpret_cast<LPARAM>(&children));
    return children;
}

std::vector<HWND> TopLevel() {
    std::vector<HWND> windows;
    ::EnumWindows(&CollectVisible, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

HWND FindByChildText(const std::string& text) {
    for (HWND window : TopLevel())
        for (HWND child : Children(window))
            if (TextOf(child) == text) return window;
    return nullptr;
}

HWND ParseHandle(const char* text) { return reinterpret_cast<HWND>(std::strtoull(text, nullptr, 0)); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string command = argv[1];
    if (command == "find" && argc >= 4) {
        DWORD deadline = ::GetTickCount() + std::strtoul(argv[3], nullptr, 10);
        do {
            if (HWND window = FindByChildText(argv[2])) {
                std::printf("0x%llx\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
                return 0;
            }
            ::Sleep(100);
        } while (static_cast<LONG>(deadline - ::GetTickCount()) > 0);
        return 1;
    }
    if (command == "texts") {
        for (HWND child : Children(ParseHandle(argv[2]))) std::printf("%s\n", TextOf(child).c_str());
        return 0;
    }
    if (command == "click" && argc >= 4) {
        for (HWND child : Children(ParseHandle(argv[2])))
            if (TextOf(child) == argv[3]) {
                ::PostMessageW(child, BM_CLICK, 0, 0);
                return 0;
            }
        return 1;
    }
    if (command == "count-top") {
        int count = 0;
        for (HWND window : TopLevel())
            if (TextOf(window) == argv[2]) ++count;
        std::printf("%d\n", count);
        return 0;
    }
    return 2;
}
