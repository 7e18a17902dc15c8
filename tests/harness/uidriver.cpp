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
// Dialog controls by ID:
//   uidriver list HWND ID                "sel N" (-1 for none), then one list-box row per line
//   uidriver get HWND ID                 the control's text
//   uidriver set HWND ID TEXT            sets the control's text
//   uidriver checked HWND ID             1 or 0
//   uidriver tree HWND ID                one item per line, two spaces per level, then "|" and
//                                        the expand-button mark (1, 0)
//   uidriver tree-select HWND ID PATH    selects the item PATH ("HDD1/Movies")
//   uidriver tree-expand HWND ID PATH    selects it and presses the right arrow key, as a user would
//   uidriver tree-collapse HWND ID PATH  selects it and presses the left arrow key
//   uidriver list-select HWND ID N       selects row N of a list box
//   uidriver rect HWND                   left top width height of the window
//   uidriver cells HWND ID               list view: one row per line, cells separated by "|"
//   uidriver colors HWND ID ROW          list view row as drawn on screen: "back BBGGRR text BBGGRR"
//                                        (text: the commonest colour other than the background)
//   uidriver colors HWND ID all COLUMN   every row: the text of COLUMN, "|", then its colours as above
//   uidriver scroll HWND ID              scroll bar: "min max pos"
//   uidriver vscroll HWND ID CODE        the scroll request CODE (SB_...) from bar ID to its window
//   uidriver tip HWND ID TOOL            list view tip TOOL: its text, then "rect L T R B"
//   uidriver state HWND ID               "enabled visible", each 1 or 0
//   uidriver key HWND VK                 key down and up (virtual-key code) to the window
//   uidriver geometry HWND               "client W H dpi D awareness A", then "ID L T R B" for each
//                                        visible direct child, in the window's client pixels
//   uidriver rows HWND ID                list view: "L T R B INKTOP INKBOTTOM" per row, the row in the
//                                        window's client pixels, the rows of its drawn text (other
//                                        than the row's background) counted from the row's top
//                                        (-1 -1 for none)
// ID 0 names the window itself (its caption for "get").
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "drop_hook.h"

namespace {

std::string TextOf(HWND window) {
    wchar_t wide[512] = {};
    // Sent as wide text: some controls of other processes answer A requests in UTF-16.
    // With a time-out: a window whose thread is busy elsewhere (a program still
    // starting, a blocking call) must not stall the whole search.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(window, WM_GETTEXT, 511, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, 2000, &ignored);
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

// Memory in the process that owns a window, for messages that carry pointers
// the system does not copy between processes (tree view items).
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, size_t size) : size_(size) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(window, &pid);
        process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_) address_ = ::VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (address_) ::VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_) ::CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    char* At(size_t offset) const { return static_cast<char*>(address_) + offset; }
    bool Write(size_t offset, const void* data, size_t size) const {
        return address_ && ::WriteProcessMemory(process_, At(offset), data, size, nullptr);
    }
    bool Read(size_t offset, void* data, size_t size) const {
        return address_ && ::ReadProcessMemory(process_, At(offset), data, size, nullptr);
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
    size_t size_;
};

std::string ReadListText(HWND list, int row, int column) {
    constexpr size_t kChars = 1024;
    RemoteBuffer remote(list, sizeof(LVITEMW) + kChars * sizeof(wchar_t));
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<wchar_t*>(remote.At(sizeof item));
    item.cchTextMax = kChars;
    std::vector<wchar_t> wide(kChars, L'\0');
    if (!remote.Write(0, &item, sizeof item) || !remote.Write(sizeof item, wide.data(), 2)) return std::string();
    ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote.At(0)));
    remote.Read(sizeof item, wide.data(), (kChars - 1) * sizeof(wchar_t));
    std::vector<char> text(kChars * 2, '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
    return text.data();
}

bool ReadItemRect(HWND list, int row, RECT& rect) {
    RemoteBuffer remote(list, sizeof(RECT));
    RECT request = {LVIR_BOUNDS, 0, 0, 0};
    if (!remote.Write(0, &request, sizeof request)) return false;
    if (!::SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(remote.At(0)))) return false;
    return remote.Read(0, &rect, sizeof rect);
}

struct TreeItem {
    std::string text;
    int children = 0;
};

TreeItem ReadTreeItem(HWND tree, HTREEITEM item) {
    constexpr size_t kTextChars = 512;
    RemoteBuffer remote(tree, sizeof(TVITEMW) + kTextChars * sizeof(wchar_t));
    TVITEMW get = {};
    get.mask = TVIF_TEXT | TVIF_CHILDREN;
    get.hItem = item;
    get.pszText = reinterpret_cast<wchar_t*>(remote.At(sizeof(TVITEMW)));
    get.cchTextMax = kTextChars;
    wchar_t wide[kTextChars] = {};
    TreeItem result;
    if (!remote.Write(0, &get, sizeof get)) return result;
    ::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(remote.At(0)));
    remote.Read(0, &get, sizeof get);
    remote.Read(sizeof(TVITEMW), wide, sizeof wide - sizeof(wchar_t));
    char text[kTextChars * 2] = {};
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    result.text = text;
    result.children = get.cChildren;
    return result;
}

HTREEITEM TreeNext(HWND tree, HTREEITEM item, UINT how) {
    return reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

void PrintTree(HWND tree, HTREEITEM first, int depth) {
    for (HTREEITEM item = first; item; item = TreeNext(tree, item, TVGN_NEXT)) {
        TreeItem read = ReadTreeItem(tree, item);
        std::printf("%s%s|%d\n", std::string(static_cast<size_t>(depth) * 2, ' ').c_str(), read.text.c_str(),
                    read.children);
        PrintTree(tree, TreeNext(tree, item, TVGN_CHILD), depth + 1);
    }
}

HTREEITEM FindTreePath(HWND tree, const std::string& path) {
    HTREEITEM level = TreeNext(tree, nullptr, TVGN_ROOT), found = nullptr;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        std::string name = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        found = nullptr;
        for (HTREEITEM item = level; item; item = TreeNext(tree, item, TVGN_NEXT))
            if (ReadTreeItem(tree, item).text == name) {
                found = item;
                break;
            }
        if (!found || slash == std::string::npos) return found;
        level = TreeNext(tree, found, TVGN_CHILD);
        start = slash + 1;
    }
    return found;
}

// A copy of a list view's client area as it is on screen.
class ListPicture {
public:
    explicit ListPicture(HWND list) {
        ::GetClientRect(list, &client_);
        width_ = client_.right, height_ = client_.bottom;
        if (width_ <= 0 || height_ <= 0) return;
        POINT origin = {0, 0};
        ::MapWindowPoints(list, nullptr, &origin, 1);
        HDC screen = ::GetDC(nullptr);
        HDC memory = ::CreateCompatibleDC(screen);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap && bits) {
            HGDIOBJ old = ::SelectObject(memory, bitmap);
            if (::BitBlt(memory, 0, 0, width_, height_, screen, origin.x, origin.y, SRCCOPY)) {
                ::GdiFlush();
                const auto* pixels = static_cast<const DWORD*>(bits);
                pixels_.assign(pixels, pixels + static_cast<size_t>(width_) * height_);
            }
            ::SelectObject(memory, old);
        }
        if (bitmap) ::DeleteObject(bitmap);
        ::DeleteDC(memory);
        ::ReleaseDC(nullptr, screen);
    }
    bool ok() const { return !pixels_.empty(); }
    // The first and last pixel rows inside `row` (list client pixels) that
    // hold anything other than the row's commonest colour, its background;
    // {-1, -1} when there is none.
    std::pair<int, int> InkRows(const RECT& row) const {
        std::map<COLORREF, int> counts;
        const int right = std::min<int>(row.right, width_);
        for (int y = row.top; y < row.bottom; ++y)
            for (int x = std::max<int>(row.left, 0); x < right; ++x) ++counts[At(x, y)];
        COLORREF back = CLR_INVALID;
        int best = 0;
        for (auto [colour, count] : counts)
            if (count > best) best = count, back = colour;
        int first = -1, last = -1;
        for (int y = row.top; y < row.bottom; ++y)
            for (int x = std::max<int>(row.left, 0); x < right; ++x)
                if (COLORREF pixel = At(x, y); pixel != back && pixel != CLR_INVALID) {
                    if (first < 0) first = y - row.top;
                    last = y - row.top;
                    break;
                }
        return {first, last};
    }
    // The background at the row's top, and the commonest other colour inside
    // it (its text), both as COLORREF; the part under the list's own scroll
    // bar is left out.
    std::pair<COLORREF, COLORREF> RowColours(const RECT& row) const {
        COLORREF back = At(row.left + 2, row.top + 1);
        std::map<COLORREF, int> counts;
        for (int y = row.top + 2; y < row.bottom - 2; ++y)
            for (int x = row.left + 2; x < std::min<int>(row.right, width_) - 2; ++x) {
                COLORREF pixel = At(x, y);
                if (pixel != back && pixel != CLR_INVALID) ++counts[pixel];
            }
        COLORREF text = back;
        int best = 0;
        for (auto [colour, count] : counts)
            if (count > best) best = count, text = colour;
        return {back, text};
    }

private:
    COLORREF At(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
        DWORD pixel = pixels_[static_cast<size_t>(y) * width_ + x];  // 0x00RRGGBB
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    RECT client_ = {};
    int width_ = 0, height_ = 0;
    std::vector<DWORD> pixels_;
};

int DialogCommand(const std::string& command, int argc, char** argv) {
    HWND window = ParseHandle(argv[2]);
    if (command == "rect") {
        RECT rc;
        if (!::GetWindowRect(window, &rc)) return 1;
        std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
        return 0;
    }
    if (argc < 4) return 2;
    HWND control = std::atoi(argv[3]) ? ::GetDlgItem(window, std::atoi(argv[3])) : window;
    if (!control) return 1;
    if (command == "list") {
        int count = static_cast<int>(::SendMessageW(control, LB_GETCOUNT, 0, 0));
        std::printf("sel %d\n", static_cast<int>(::SendMessageW(control, LB_GETCURSEL, 0, 0)));
        for (int i = 0; i < count; ++i) {
            wchar_t wide[512] = {};
            ::SendMessageW(control, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide));
            char text[1024] = {};
            ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
            std::printf("%s\n", text);
        }
        return 0;
    }
    if (command == "get") {
        std::printf("%s\n", TextOf(control).c_str());
        return 0;
    }
    if (command == "set" && argc >= 5) {
        wchar_t wide[512] = {};
        ::MultiByteToWideChar(CP_ACP, 0, argv[4], -1, wide, 511);
        ::SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide));
        return 0;
    }
    if (command == "checked") {
        std::printf("%d\n", ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
        return 0;
    }
    if (command == "tree") {
        PrintTree(control, TreeNext(control, nullptr, TVGN_ROOT), 0);
        return 0;
    }
    if ((command == "tree-select" || command == "tree-expand" || command == "tree-collapse") && argc >= 5) {
        HTREEITEM item = FindTreePath(control, argv[4]);
        if (!item) return 1;
        ::SendMessageW(control, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
        // Posted: the expansion may run a device operation behind a modal wait dialog.
        if (command == "tree-expand") ::PostMessageW(control, WM_KEYDOWN, VK_RIGHT, 0);
        if (command == "tree-collapse") ::PostMessageW(control, WM_KEYDOWN, VK_LEFT, 0);
        return 0;
    }
    if (command == "cells") {
        int rows = static_cast<int>(::SendMessageW(control, LVM_GETITEMCOUNT, 0, 0));
        HWND header = reinterpret_cast<HWND>(::SendMessageW(control, LVM_GETHEADER, 0, 0));
        int columns = header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
        for (int row = 0; row < rows; ++row) {
            std::string line;
            for (int column = 0; column < columns; ++column) {
                if (column) line += '|';
                line += ReadListText(control, row, column);
            }
            std::printf("%s\n", line.c_str());
        }
        return 0;
    }
    if (command == "colors" && argc >= 5) {
        // One row ("colors HWND ID ROW"), or every row with the text of
        // column COLUMN first ("colors HWND ID all COLUMN": "TEXT|back X text Y").
        // The rows are read from one picture of the list, taken between two
        // reads of the texts that agree, so a refresh cannot pair one row's
        // text with another state's colours.
        bool all = std::string(argv[4]) == "all";
        if (all && argc < 6) return 2;
        int column = all ? std::atoi(argv[5]) : 0;
        int first = all ? 0 : std::atoi(argv[4]);
        int last = all ? static_cast<int>(::SendMessageW(control, LVM_GETITEMCOUNT, 0, 0)) - 1 : first;
        auto texts = [&] {
            std::vector<std::string> out;
            if (all)
                for (int row = first; row <= last; ++row) out.push_back(ReadListText(control, row, column));
            return out;
        };
        for (int attempt = 0; attempt < 5; ++attempt) {
            std::vector<std::string> before = texts();
            ListPicture picture(control);
            if (!picture.ok()) return 1;
            if (texts() != before) continue;
            for (int row = first; row <= last; ++row) {
                RECT cell = {};
                if (!ReadItemRect(control, row, cell)) return 1;
                auto [back, text] = picture.RowColours(cell);
                if (all) std::printf("%s|", before[row - first].c_str());
                std::printf("back %06lX text %06lX\n", back, text);
            }
            return 0;
        }
        return 1;
    }
    if (command == "scroll") {
        // Wine copies this message's two results between processes itself.
        int low = -1, high = -1;
        ::SendMessageW(control, SBM_GETRANGE, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
        std::printf("%d %d %d\n", low, high, static_cast<int>(::SendMessageW(control, SBM_GETPOS, 0, 0)));
        return 0;
    }
    if (command == "vscroll" && argc >= 5) {
        ::PostMessageW(::GetParent(control), WM_VSCROLL, MAKEWPARAM(std::atoi(argv[4]), 0),
                       reinterpret_cast<LPARAM>(control));
        return 0;
    }
    if (command == "tip" && argc >= 5) {
        HWND tips = reinterpret_cast<HWND>(::SendMessageW(control, LVM_GETTOOLTIPS, 0, 0));
        if (!tips) return 1;
        constexpr size_t kChars = 2048;
        RemoteBuffer remote(tips, sizeof(TTTOOLINFOW) + kChars * sizeof(wchar_t));
        TTTOOLINFOW tool = {};
        tool.cbSize = sizeof tool;
        tool.hwnd = control;
        tool.uId = std::strtoull(argv[4], nullptr, 10);
        tool.lpszText = reinterpret_cast<wchar_t*>(remote.At(sizeof tool));
        std::vector<wchar_t> wide(kChars, L'\0');
        if (!remote.Write(0, &tool, sizeof tool) || !remote.Write(sizeof tool, wide.data(), 2)) return 1;
        ::SendMessageW(tips, TTM_GETTEXTW, kChars, reinterpret_cast<LPARAM>(remote.At(0)));
        remote.Read(sizeof tool, wide.data(), (kChars - 1) * sizeof(wchar_t));
        ::SendMessageW(tips, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(remote.At(0)));
        remote.Read(0, &tool, sizeof tool);
        std::vector<char> text(kChars * 2, '\0');
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
        std::printf("%s\nrect %ld %ld %ld %ld\n", text.data(), tool.rect.left, tool.rect.top, tool.rect.right,
                    tool.rect.bottom);
        return 0;
    }
    if (command == "state") {
        std::printf("%d %d\n", ::IsWindowEnabled(control) ? 1 : 0, ::IsWindowVisible(control) ? 1 : 0);
        return 0;
    }
    if (command == "list-select" && argc >= 5) {
        return ::SendMessageW(control, LB_SETCURSEL, std::atoi(argv[4]), 0) == LB_ERR ? 1 : 0;
    }
    return 2;
}

}  // namespace

int MoreCommands(const std::string& command, int argc, char** argv);
int BalloonCommands(const std::string& command, int argc, char** argv);
int GeometryCommands(const std::string& command, int argc, char** argv);

static void BecomeDpiAware();

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    BecomeDpiAware();
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
    if (command == "key" && argc >= 4) {
        HWND window = ParseHandle(argv[2]);
        WPARAM key = std::strtoul(argv[3], nullptr, 0);
        ::PostMessageW(window, WM_KEYDOWN, key, 1);
        ::PostMessageW(window, WM_KEYUP, key, 0xC0000001);
        return 0;
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
    if (int result = BalloonCommands(command, argc, argv); result != 2) return result;
    if (int result = MoreCommands(command, argc, argv); result != 2) return result;
    if (int result = GeometryCommands(command, argc, argv); result != 2) return result;
    return DialogCommand(command, argc, argv);
}

// Commands for the main window's commands and the hand-over:
//   uidriver press HWND ID               posts a click to control ID (no text needed)
//   uidriver combo HWND ID N             selects entry N and tells the dialog, as a user's choice does
//   uidriver combo-get HWND ID           "sel N", then one entry per line
//   uidriver focus HWND                  the ID of the control with the focus in that window's thread
//   uidriver post HWND MESSAGE WPARAM LPARAM   posts a message (numbers, 0x... allowed)
//   uidriver visible HWND [ID]           1 or 0 for the window or its control; exit 1 if none
//   uidriver tray -                      "VISIBLE WIDTH" of the notification area window
//   uidriver copydata HWND CASE          sends WM_COPYDATA built as CASE: short, unterminated, kind,
//                                        huge, second-missing; prints the answer
namespace {
long long Number(const char* text) { return std::strtoll(text, nullptr, 0); }

int SendCopyData(HWND window, const std::string& which) {
    std::string payload;
    auto header = [](int kind) { return std::string(reinterpret_cast<const char*>(&kind), 4) + std::string(4, '\0'); };
    if (which == "short") payload = std::string("\x01\0\0", 3);
    else if (which == "unterminated") payload = header(1) + "C:\\x.torrent";
    else if (which == "kind") payload = header(3) + std::string("http://h/k.bin\0http://h/k.bin\0", 30);
    else if (which == "huge") payload = header(2) + std::string((1 << 20) + 16, 'a') + std::string(2, '\0');
    else if (which == "second-missing") payload = header(2) + std::string("http://h/m.bin\0", 15);
    else return 2;
    COPYDATASTRUCT copy = {0, static_cast<DWORD>(payload.size()), payload.data()};
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, 20000, &answer))
        return 1;
    std::printf("%llu\n", static_cast<unsigned long long>(answer));
    return 0;
}
}  // namespace

static int PostDrop(HWND window, int count, char** files);

int MoreCommands(const std::string& command, int argc, char** argv) {
    if (command == "drop" && argc >= 4) return PostDrop(ParseHandle(argv[2]), argc - 3, argv + 3);
    if (command == "tray") {
        // The notification area of Wine's desktop: shown, and as wide as its icons need.
        HWND tray = ::FindWindowA("Shell_TrayWnd", nullptr);
        RECT rc = {};
        if (!tray || !::GetWindowRect(tray, &rc)) return 1;
        std::printf("%d %ld\n", ::IsWindowVisible(tray) ? 1 : 0, rc.right - rc.left);
        return 0;
    }
    HWND window = ParseHandle(argv[2]);
    if (command == "visible") {
        if (argc >= 4 && std::atoi(argv[3])) window = ::GetDlgItem(window, std::atoi(argv[3]));
        if (!::IsWindow(window)) return 1;
        std::printf("%d\n", ::IsWindowVisible(window) ? 1 : 0);
        return 0;
    }
    if (command == "focus") {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) return 1;
        std::printf("%d\n", info.hwndFocus ? ::GetDlgCtrlID(info.hwndFocus) : 0);
        return 0;
    }
    if (command == "copydata" && argc >= 4) return SendCopyData(window, argv[3]);
    if (command == "post" && argc >= 6)
        return ::PostMessageW(window, static_cast<UINT>(Number(argv[3])), static_cast<WPARAM>(Number(argv[4])),
                              static_cast<LPARAM>(Number(argv[5]))) ? 0 : 1;
    if (argc < 4) return 2;
    HWND control = ::GetDlgItem(window, std::atoi(argv[3]));
    if (command == "press") return control && ::PostMessageW(control, BM_CLICK, 0, 0) ? 0 : 1;
    if (command == "combo" && argc >= 5) {
        if (!control || ::SendMessageW(control, CB_SETCURSEL, std::atoi(argv[4]), 0) == CB_ERR) return 1;
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(std::atoi(argv[3]), CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
        return 0;
    }
    if (command == "combo-get") {
        if (!control) return 1;
        int count = static_cast<int>(::SendMessageW(control, CB_GETCOUNT, 0, 0));
        std::printf("sel %d\n", static_cast<int>(::SendMessageW(control, CB_GETCURSEL, 0, 0)));
        for (int i = 0; i < count; ++i) {
            wchar_t wide[512] = {};
            if (::SendMessageW(control, CB_GETLBTEXTLEN, i, 0) < 511)
                ::SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
            char text[1024] = {};
            ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
            std::printf("%s\n", text);
        }
        return 0;
    }
    return 2;
}

// Balloons of the notification area:
//   uidriver balloons - MS [COUNT]       watches for MS milliseconds (or until COUNT new balloons were seen)
//                                        and prints each balloon as it appears: "MS|text|L T R B", MS
//                                        counted from the start (0: it was up already)
namespace {
// The shell shows a balloon as a top-level tool tip window with the balloon style.
HWND VisibleBalloon() {
    for (HWND window : TopLevel()) {
        char name[64] = {};
        ::GetClassNameA(window, name, sizeof name);
        if (lstrcmpiA(name, TOOLTIPS_CLASSA) == 0 && (::GetWindowLongW(window, GWL_STYLE) & TTS_BALLOON)) return window;
    }
    return nullptr;
}
}  // namespace

int BalloonCommands(const std::string& command, int argc, char** argv) {
    if (command != "balloons" || argc < 4) return 2;
    const DWORD start = ::GetTickCount(), deadline = start + std::strtoul(argv[3], nullptr, 10);
    int wanted = argc >= 5 ? std::atoi(argv[4]) : 0, seen = 0;
    HWND lastWindow = nullptr;
    std::string last;
    bool first = true;
    do {
        if (HWND balloon = VisibleBalloon()) {
            RECT rc = {};
            ::GetWindowRect(balloon, &rc);
            // The text only: Wine's tool tips do not answer TTM_GETTITLE (the
            // test entry point of Quarrow reports the titles instead).
            std::string shown = TextOf(balloon);
            if (balloon != lastWindow || shown != last) {
                std::printf("%lu|%s|%ld %ld %ld %ld\n", first ? 0UL : ::GetTickCount() - start, shown.c_str(), rc.left,
                            rc.top, rc.right, rc.bottom);
                std::fflush(stdout);
                lastWindow = balloon;
                last = shown;
                if (!first && ++seen == wanted) return 0;  // COUNT counts new ones only
            }
        } else {
            lastWindow = nullptr;
            last.clear();
        }
        first = false;
        ::Sleep(50);
    } while (static_cast<LONG>(deadline - ::GetTickCount()) > 0);
    return 0;
}

// Files dropped onto a window, as the shell drops them:
//   uidriver drop HWND FILE...           WM_DROPFILES with a DROPFILES block of the names in
//                                        UTF-16, dropped at the middle of the window
// On Windows the system copies the block of a WM_DROPFILES posted to another
// process; Wine does not. So the block is made and posted inside the window's
// own process, by a message hook (drop_hook.dll beside this program) on its thread.
static int PostDrop(HWND window, int count, char** files) {
    std::wstring names;
    for (int i = 0; i < count; ++i) {
        wchar_t wide[4096] = {};
        if (!::MultiByteToWideChar(CP_ACP, 0, files[i], -1, wide, 4095)) return 1;
        names += wide;
        names += L'\0';
    }
    names += L'\0';
    const DWORD bytes = static_cast<DWORD>(sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    if (!thread) return 1;

    HANDLE mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          sizeof(DropMapping) + bytes, kDropMappingName);
    HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, kDropDoneName);
    auto* shared = mapping ? static_cast<DropMapping*>(::MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
    int result = 1;
    if (shared && done) {
        RECT client = {};
        ::GetClientRect(window, &client);
        DROPFILES drop = {};
        drop.pFiles = sizeof(DROPFILES);
        drop.pt = {client.right / 2, client.bottom / 2};
        drop.fWide = TRUE;
        *shared = {static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(window)), bytes, 0, 0};
        char* block = reinterpret_cast<char*>(shared + 1);
        std::memcpy(block, &drop, sizeof drop);
        std::memcpy(block + sizeof drop, names.data(), names.size() * sizeof(wchar_t));

        wchar_t path[MAX_PATH] = {};
        DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring dll(path, length);
        dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"drop_hook.dll";
        HMODULE module = ::LoadLibraryW(dll.c_str());
        auto proc = module ? reinterpret_cast<HOOKPROC>(::GetProcAddress(module, "DropHookProc")) : nullptr;
        if (HHOOK hook = proc ? ::SetWindowsHookExW(WH_GETMESSAGE, proc, module, thread) : nullptr) {
            ::PostMessageW(window, WM_NULL, 0, 0);  // the hook runs when the thread takes a message
            if (::WaitForSingleObject(done, 10000) == WAIT_OBJECT_0 && shared->posted) result = 0;
            ::UnhookWindowsHookEx(hook);
        }
        if (module) ::FreeLibrary(module);
    }
    if (shared) ::UnmapViewOfFile(shared);
    if (mapping) ::CloseHandle(mapping);
    if (done) ::CloseHandle(done);
    return result;
}

// Geometry of a window's controls at the display scale it runs at.
// The driver itself is per-monitor aware, so that Windows hands it the real
// pixels of every window rather than scaled ones.
static void BecomeDpiAware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    HMODULE user = ::GetModuleHandleW(L"user32.dll");
    auto set = user ? reinterpret_cast<SetContext>(
                          reinterpret_cast<void*>(::GetProcAddress(user, "SetProcessDpiAwarenessContext")))
                    : nullptr;
    if (set) set(reinterpret_cast<HANDLE>(-4));  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
}

namespace {
// The window's DPI and DPI awareness (0 unaware, 1 system, 2 per monitor), or
// 0 and -1 where the system cannot tell.
std::pair<UINT, int> DpiOf(HWND window) {
    HMODULE user = ::GetModuleHandleW(L"user32.dll");
    auto proc = [user](const char* name) {
        return user ? reinterpret_cast<void*>(::GetProcAddress(user, name)) : nullptr;
    };
    auto forWindow = reinterpret_cast<UINT(WINAPI*)(HWND)>(proc("GetDpiForWindow"));
    auto context = reinterpret_cast<HANDLE(WINAPI*)(HWND)>(proc("GetWindowDpiAwarenessContext"));
    auto awareness = reinterpret_cast<int(WINAPI*)(HANDLE)>(proc("GetAwarenessFromDpiAwarenessContext"));
    return {forWindow ? forWindow(window) : 0, context && awareness ? awareness(context(window)) : -1};
}

RECT InClient(HWND window, RECT rect, HWND from) {
    ::MapWindowPoints(from, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
}  // namespace

int GeometryCommands(const std::string& command, int argc, char** argv) {
    if (command == "geometry") {
        HWND window = ParseHandle(argv[2]);
        RECT client = {};
        if (!::GetClientRect(window, &client)) return 1;
        auto [dpi, awareness] = DpiOf(window);
        std::printf("client %ld %ld dpi %u awareness %d\n", client.right, client.bottom, dpi, awareness);
        for (HWND child : Children(window)) {
            if (::GetParent(child) != window || !::IsWindowVisible(child)) continue;
            RECT rect = {};
            ::GetWindowRect(child, &rect);
            rect = InClient(window, rect, nullptr);
            std::printf("%d %ld %ld %ld %ld\n", ::GetDlgCtrlID(child), rect.left, rect.top, rect.right, rect.bottom);
        }
        return 0;
    }
    if (command == "rows" && argc >= 4) {
        HWND window = ParseHandle(argv[2]);
        HWND list = ::GetDlgItem(window, std::atoi(argv[3]));
        if (!list) return 1;
        ListPicture picture(list);
        if (!picture.ok()) return 1;
        int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        for (int row = 0; row < rows; ++row) {
            RECT cell = {};
            if (!ReadItemRect(list, row, cell)) return 1;
            auto [top, bottom] = picture.InkRows(cell);
            RECT shown = InClient(window, cell, list);
            std::printf("%ld %ld %ld %ld %d %d\n", shown.left, shown.top, shown.right, shown.bottom, top, bottom);
        }
        return 0;
    }
    return 2;
}
