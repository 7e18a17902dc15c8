// A small driver for window tests: finds a top-level window by a text one of
// its children shows, lists the texts of its children, presses its buttons.
//   uidriver find TEXT TIMEOUT_MS        prints the window handle, exit 1 if none
//   uidriver texts HWND                  one child text per line
//   uidriver click HWND BUTTON_TEXT
//   uidriver count-top TITLE             visible top-level windows with that title
//   uidriver items HWND                  direct children: id, visible, enabled, text (tab-separated)
//   uidriver command HWND ID             the dialog gets the button's BN_CLICKED
//   uidriver set-text HWND ID TEXT       sets a child's text
//   uidriver lv-rows HWND ID             a list view's rows, columns tab-separated
//   uidriver ip-set HWND ID A.B.C.D      fills an IP address control
//   uidriver lv-select HWND ID ROW       selects and focuses one row of a list view
#include <windows.h>
#include <commctrl.h>

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
    if (command == "items") {
        HWND parent = ParseHandle(argv[2]);
        for (HWND child : Children(parent)) {
            if (::GetParent(child) != parent) continue;  // parts of a control, such as an address field
            std::string text = TextOf(child);
            for (char& c : text)
                if (c == '\r' || c == '\n' || c == '\t') c = ' ';
            std::printf("%d\t%d\t%d\t%s\n", ::GetDlgCtrlID(child), ::IsWindowVisible(child) ? 1 : 0,
                        ::IsWindowEnabled(child) ? 1 : 0, text.c_str());
        }
        return 0;
    }
    if (command == "command" && argc >= 4) {
        HWND parent = ParseHandle(argv[2]);
        const int id = std::atoi(argv[3]);
        HWND button = ::GetDlgItem(parent, id);
        if (!button) return 1;
        ::PostMessageW(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
        return 0;
    }
    if (command == "set-text" && argc >= 5) {
        HWND child = ::GetDlgItem(ParseHandle(argv[2]), std::atoi(argv[3]));
        if (!child) return 1;
        wchar_t wide[512] = {};
        ::MultiByteToWideChar(CP_ACP, 0, argv[4], -1, wide, 511);
        ::SendMessageW(child, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide));
        return 0;
    }
    if (command == "lv-rows" && argc >= 4) {
        // The list lives in another process: its item structure and text
        // buffer must be there too.
        HWND list = ::GetDlgItem(ParseHandle(argv[2]), std::atoi(argv[3]));
        DWORD pid = 0;
        ::GetWindowThreadProcessId(list, &pid);
        HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (!list || !process) return 1;
        const SIZE_T textBytes = 512 * sizeof(wchar_t);
        auto* remote = static_cast<char*>(::VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + textBytes,
                                                           MEM_COMMIT, PAGE_READWRITE));
        const int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
        const int columns = header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < columns; ++column) {
                LVITEMW item{};
                item.mask = LVIF_TEXT;
                item.iItem = row;
                item.iSubItem = column;
                item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
                item.cchTextMax = 511;
                ::WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
                ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote));
                wchar_t wide[512] = {};
                ::ReadProcessMemory(process, remote + sizeof(LVITEMW), wide, textBytes - sizeof(wchar_t), nullptr);
                char text[1024] = {};
                ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
                std::printf("%s%s", column ? "\t" : "", text);
            }
            const UINT state = static_cast<UINT>(::SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED));
            std::printf("%s\n", state & LVIS_SELECTED ? "\tselected" : "");
        }
        ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        ::CloseHandle(process);
        return 0;
    }
    if (command == "ip-set" && argc >= 5) {
        HWND child = ::GetDlgItem(ParseHandle(argv[2]), std::atoi(argv[3]));
        unsigned a = 0, b = 0, c = 0, d = 0;
        if (!child || std::sscanf(argv[4], "%u.%u.%u.%u", &a, &b, &c, &d) != 4) return 1;
        ::SendMessageW(child, IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, c, d));
        return 0;
    }
    if (command == "lv-select" && argc >= 5) {
        HWND list = ::GetDlgItem(ParseHandle(argv[2]), std::atoi(argv[3]));
        DWORD pid = 0;
        ::GetWindowThreadProcessId(list, &pid);
        HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
        if (!list || !process) return 1;
        void* remote = ::VirtualAllocEx(process, nullptr, sizeof(LVITEMW), MEM_COMMIT, PAGE_READWRITE);
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
        ::SendMessageW(list, LVM_SETITEMSTATE, std::atoi(argv[4]), reinterpret_cast<LPARAM>(remote));
        ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
        ::CloseHandle(process);
        return 0;
    }
    return 2;
}
