// The UI driver of the window tests: run in a second process, it finds a
// program's windows, reads what they show and works them as a user would.
//   uidriver VERB ARGS...
// The verbs are the table at the end of this file (uidriver with no verb lists
// them). HWND is a handle as "find" prints it; ID a control's ID, where 0 names
// the window itself. Exit code 0 when done, 1 when the window, control or item
// is not there, 2 for a wrong call.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
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

// Payloads of WM_COPYDATA that no hand-over sends, for the window to refuse.
int SendCopyData(HWND window, const std::string& which) {
    std::string payload;
    auto header = [](int kind) { return std::string(reinterpret_cast<const char*>(&kind), 4) + std::string(4, '\0'); };
    if (which == "short")
        payload = std::string("\x01\0\0", 3);
    else if (which == "unterminated")
        payload = header(1) + "C:\\x.torrent";
    else if (which == "kind")
        payload = header(3) + std::string("http://h/k.bin\0http://h/k.bin\0", 30);
    else if (which == "huge")
        payload = header(2) + std::string((1 << 20) + 16, 'a') + std::string(2, '\0');
    else if (which == "second-missing")
        payload = header(2) + std::string("http://h/m.bin\0", 15);
    else
        return 2;
    COPYDATASTRUCT copy = {0, static_cast<DWORD>(payload.size()), payload.data()};
    DWORD_PTR answer = 0;
    if (!::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy), SMTO_NORMAL, 20000, &answer))
        return 1;
    std::printf("%llu\n", static_cast<unsigned long long>(answer));
    return 0;
}

// The shell shows a balloon as a top-level tool tip window with the balloon style.
HWND VisibleBalloon() {
    for (HWND window : TopLevel()) {
        char name[64] = {};
        ::GetClassNameA(window, name, sizeof name);
        if (lstrcmpiA(name, TOOLTIPS_CLASSA) == 0 && (::GetWindowLongW(window, GWL_STYLE) & TTS_BALLOON)) return window;
    }
    return nullptr;
}

// On Windows the system copies the block of a WM_DROPFILES posted to another
// process; Wine does not. So the block is made and posted inside the window's
// own process, by a message hook (drop_hook.dll beside this program) on its thread.
int PostDrop(HWND window, int count, char** files) {
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

    HANDLE mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(DropMapping) + bytes,
                                          kDropMappingName);
    HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, kDropDoneName);
    auto* shared =
        mapping ? static_cast<DropMapping*>(::MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
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

// The driver is per-monitor aware, so that Windows hands it the real pixels of
// every window rather than scaled ones.
void BecomeDpiAware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    HMODULE user = ::GetModuleHandleW(L"user32.dll");
    auto set = user ? reinterpret_cast<SetContext>(
                          reinterpret_cast<void*>(::GetProcAddress(user, "SetProcessDpiAwarenessContext")))
                    : nullptr;
    if (set) set(reinterpret_cast<HANDLE>(-4));  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
}

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

// One call: the verb's arguments after the verb itself.
struct Call {
    std::vector<std::string> args;
    const char* at(size_t i) const { return args[i].c_str(); }
    int number(size_t i) const { return std::atoi(at(i)); }
    HWND window() const { return ParseHandle(at(0)); }
    // The control named by argument 1, or the window for ID 0.
    HWND control() const { return number(1) ? ::GetDlgItem(window(), number(1)) : window(); }
};

std::string Narrow(const wchar_t* wide) {
    char text[1024] = {};
    ::WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

int SetText(HWND control, const char* text) {
    if (!control) return 1;
    wchar_t wide[512] = {};
    ::MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 511);
    ::SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide));
    return 0;
}

// --- windows and their texts -------------------------------------------------
int Find(const Call& c) {
    DWORD deadline = ::GetTickCount() + std::strtoul(c.at(1), nullptr, 10);
    do {
        if (HWND window = FindByChildText(c.args[0])) {
            std::printf("0x%llx\n", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
            return 0;
        }
        ::Sleep(100);
    } while (static_cast<LONG>(deadline - ::GetTickCount()) > 0);
    return 1;
}

int Texts(const Call& c) {
    for (HWND child : Children(c.window())) std::printf("%s\n", TextOf(child).c_str());
    return 0;
}

int Items(const Call& c) {
    HWND parent = c.window();
    for (HWND child : Children(parent)) {
        if (::GetParent(child) != parent) continue;  // parts of a control, such as an address field
        std::string text = TextOf(child);
        for (char& ch : text)
            if (ch == '\r' || ch == '\n' || ch == '\t') ch = ' ';
        std::printf("%d\t%d\t%d\t%s\n", ::GetDlgCtrlID(child), ::IsWindowVisible(child) ? 1 : 0,
                    ::IsWindowEnabled(child) ? 1 : 0, text.c_str());
    }
    return 0;
}

int Rect(const Call& c) {
    RECT rc;
    if (!::GetWindowRect(c.window(), &rc)) return 1;
    std::printf("%ld %ld %ld %ld\n", rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top);
    return 0;
}

int Get(const Call& c) {
    HWND control = c.control();
    if (!control) return 1;
    std::printf("%s\n", TextOf(control).c_str());
    return 0;
}

int Set(const Call& c) { return SetText(c.control(), c.at(2)); }

int Checked(const Call& c) {
    HWND control = c.control();
    if (!control) return 1;
    std::printf("%d\n", ::SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
    return 0;
}

int State(const Call& c) {
    HWND control = c.control();
    if (!control) return 1;
    std::printf("%d %d\n", ::IsWindowEnabled(control) ? 1 : 0, ::IsWindowVisible(control) ? 1 : 0);
    return 0;
}

int Visible(const Call& c) {
    HWND window = c.args.size() > 1 ? c.control() : c.window();
    if (!::IsWindow(window)) return 1;
    std::printf("%d\n", ::IsWindowVisible(window) ? 1 : 0);
    return 0;
}

int Focus(const Call& c) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(c.window(), nullptr), &info)) return 1;
    std::printf("%d\n", info.hwndFocus ? ::GetDlgCtrlID(info.hwndFocus) : 0);
    return 0;
}

// --- pressing and posting ----------------------------------------------------
int Click(const Call& c) {
    for (HWND child : Children(c.window()))
        if (TextOf(child) == c.args[1]) {
            ::PostMessageW(child, BM_CLICK, 0, 0);
            return 0;
        }
    return 1;
}

int Press(const Call& c) {
    HWND control = ::GetDlgItem(c.window(), c.number(1));
    return control && ::PostMessageW(control, BM_CLICK, 0, 0) ? 0 : 1;
}

// The dialog's BN_CLICKED for a button, which a hidden button cannot send itself.
int Command(const Call& c) {
    HWND button = ::GetDlgItem(c.window(), c.number(1));
    if (!button) return 1;
    ::PostMessageW(c.window(), WM_COMMAND, MAKEWPARAM(c.number(1), BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return 0;
}

int Post(const Call& c) {
    auto number = [&](size_t i) { return std::strtoll(c.at(i), nullptr, 0); };
    return ::PostMessageW(c.window(), static_cast<UINT>(number(1)), static_cast<WPARAM>(number(2)),
                          static_cast<LPARAM>(number(3)))
               ? 0
               : 1;
}

int CopyData(const Call& c) { return SendCopyData(c.window(), c.args[1]); }

int Drop(const Call& c) {
    std::vector<char*> files;
    for (size_t i = 1; i < c.args.size(); ++i) files.push_back(const_cast<char*>(c.at(i)));
    return PostDrop(c.window(), static_cast<int>(files.size()), files.data());
}

// --- list boxes, combo boxes, list views, trees, scroll bars ---------------------
int List(const Call& c) {
    HWND control = c.control();
    if (!control) return 1;
    int count = static_cast<int>(::SendMessageW(control, LB_GETCOUNT, 0, 0));
    std::printf("sel %d\n", static_cast<int>(::SendMessageW(control, LB_GETCURSEL, 0, 0)));
    for (int i = 0; i < count; ++i) {
        wchar_t wide[512] = {};
        ::SendMessageW(control, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide));
        std::printf("%s\n", Narrow(wide).c_str());
    }
    return 0;
}

int ListSelect(const Call& c) {
    HWND control = c.control();
    return control && ::SendMessageW(control, LB_SETCURSEL, c.number(2), 0) != LB_ERR ? 0 : 1;
}

// Selects an entry and tells the dialog, as a user's choice does.
int Combo(const Call& c) {
    HWND control = ::GetDlgItem(c.window(), c.number(1));
    if (!control || ::SendMessageW(control, CB_SETCURSEL, c.number(2), 0) == CB_ERR) return 1;
    ::PostMessageW(c.window(), WM_COMMAND, MAKEWPARAM(c.number(1), CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
    return 0;
}

int ComboGet(const Call& c) {
    HWND control = ::GetDlgItem(c.window(), c.number(1));
    if (!control) return 1;
    int count = static_cast<int>(::SendMessageW(control, CB_GETCOUNT, 0, 0));
    std::printf("sel %d\n", static_cast<int>(::SendMessageW(control, CB_GETCURSEL, 0, 0)));
    for (int i = 0; i < count; ++i) {
        wchar_t wide[512] = {};
        if (::SendMessageW(control, CB_GETLBTEXTLEN, i, 0) < 511)
            ::SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        std::printf("%s\n", Narrow(wide).c_str());
    }
    return 0;
}

// A list view's rows, their cells joined by `separator`; `marked`: "\tselected" after a selected row.
int ListViewRows(HWND list, char separator, bool marked) {
    if (!list) return 1;
    int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    int columns = header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    for (int row = 0; row < rows; ++row) {
        std::string line;
        for (int column = 0; column < columns; ++column) {
            if (column) line += separator;
            line += ReadListText(list, row, column);
        }
        if (marked && (::SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED))
            line += "\tselected";
        std::printf("%s\n", line.c_str());
    }
    return 0;
}

int Cells(const Call& c) { return ListViewRows(c.control(), '|', false); }
int LvRows(const Call& c) { return ListViewRows(::GetDlgItem(c.window(), c.number(1)), '\t', true); }

int LvSelect(const Call& c) {
    HWND list = ::GetDlgItem(c.window(), c.number(1));
    if (!list) return 1;
    RemoteBuffer remote(list, sizeof(LVITEMW));
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    if (!remote.Write(0, &item, sizeof item)) return 1;
    ::SendMessageW(list, LVM_SETITEMSTATE, c.number(2), reinterpret_cast<LPARAM>(remote.At(0)));
    return 0;
}

// One row ("colors HWND ID ROW"), or every row with the text of column COLUMN
// first ("colors HWND ID all COLUMN": "TEXT|back X text Y"). The rows are read
// from one picture of the list, taken between two reads of the texts that
// agree, so a refresh cannot pair one row's text with another state's colours.
int Colors(const Call& c) {
    HWND control = c.control();
    if (!control) return 1;
    bool all = c.args[2] == "all";
    if (all && c.args.size() < 4) return 2;
    int column = all ? c.number(3) : 0;
    int first = all ? 0 : c.number(2);
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

int Tip(const Call& c) {
    HWND control = c.control();
    HWND tips = control ? reinterpret_cast<HWND>(::SendMessageW(control, LVM_GETTOOLTIPS, 0, 0)) : nullptr;
    if (!tips) return 1;
    constexpr size_t kChars = 2048;
    RemoteBuffer remote(tips, sizeof(TTTOOLINFOW) + kChars * sizeof(wchar_t));
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = control;
    tool.uId = std::strtoull(c.at(2), nullptr, 10);
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

int Tree(const Call& c) {
    HWND control = c.control();
    if (!control) return 1;
    PrintTree(control, TreeNext(control, nullptr, TVGN_ROOT), 0);
    return 0;
}

// Selects the item; expanding and collapsing then press the arrow key a user would.
int TreeAction(const Call& c, UINT key) {
    HWND control = c.control();
    HTREEITEM item = control ? FindTreePath(control, c.args[2]) : nullptr;
    if (!item) return 1;
    ::SendMessageW(control, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    // Posted: the expansion may run a device operation behind a modal wait dialog.
    if (key) ::PostMessageW(control, WM_KEYDOWN, key, 0);
    return 0;
}
int TreeSelect(const Call& c) { return TreeAction(c, 0); }
int TreeExpand(const Call& c) { return TreeAction(c, VK_RIGHT); }
int TreeCollapse(const Call& c) { return TreeAction(c, VK_LEFT); }

int Scroll(const Call& c) {
    HWND control = c.control();
    if (!control) return 1;
    // Wine copies this message's two results between processes itself.
    int low = -1, high = -1;
    ::SendMessageW(control, SBM_GETRANGE, reinterpret_cast<WPARAM>(&low), reinterpret_cast<LPARAM>(&high));
    std::printf("%d %d %d\n", low, high, static_cast<int>(::SendMessageW(control, SBM_GETPOS, 0, 0)));
    return 0;
}

int VScroll(const Call& c) {
    HWND control = c.control();
    if (!control) return 1;
    ::PostMessageW(::GetParent(control), WM_VSCROLL, MAKEWPARAM(c.number(2), 0), reinterpret_cast<LPARAM>(control));
    return 0;
}

int IpSet(const Call& c) {
    HWND child = ::GetDlgItem(c.window(), c.number(1));
    unsigned a = 0, b = 0, cc = 0, d = 0;
    if (!child || std::sscanf(c.at(2), "%u.%u.%u.%u", &a, &b, &cc, &d) != 4) return 1;
    ::SendMessageW(child, IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, cc, d));
    return 0;
}

// --- layout at the window's display scale ------------------------------------
int Geometry(const Call& c) {
    HWND window = c.window();
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

int Rows(const Call& c) {
    HWND window = c.window();
    HWND list = ::GetDlgItem(window, c.number(1));
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

// --- the notification area ---------------------------------------------------
// The notification area of Wine's desktop: shown, and as wide as its icons need.
int Tray(const Call&) {
    HWND tray = ::FindWindowA("Shell_TrayWnd", nullptr);
    RECT rc = {};
    if (!tray || !::GetWindowRect(tray, &rc)) return 1;
    std::printf("%d %ld\n", ::IsWindowVisible(tray) ? 1 : 0, rc.right - rc.left);
    return 0;
}

int Balloons(const Call& c) {
    const DWORD start = ::GetTickCount(), deadline = start + std::strtoul(c.at(1), nullptr, 10);
    int wanted = c.args.size() > 2 ? c.number(2) : 0, seen = 0;
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
            // A balloon being replaced is on screen for a moment with no
            // text yet: it is read once its text has come.
            if (!shown.empty() && (balloon != lastWindow || shown != last)) {
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

struct Verb {
    const char* name;
    size_t args;  // at least
    const char* usage;
    int (*run)(const Call&);
};

const Verb kVerbs[] = {
    {"find", 2, "TEXT TIMEOUT_MS     handle of the visible top-level window one of whose children shows TEXT", Find},
    {"texts", 1, "HWND                one child text per line", Texts},
    {"items", 1, "HWND                direct children: id, visible, enabled, text (tab-separated)", Items},
    {"rect", 1, "HWND                left top width height of the window", Rect},
    {"get", 2, "HWND ID             the control's text", Get},
    {"set", 3, "HWND ID TEXT        sets the control's text", Set},
    {"checked", 2, "HWND ID             1 or 0", Checked},
    {"state", 2, "HWND ID             \"enabled visible\", each 1 or 0", State},
    {"visible", 1, "HWND [ID]           1 or 0", Visible},
    {"focus", 1, "HWND                ID of the control with the focus in the window's thread", Focus},
    {"click", 2, "HWND TEXT           clicks the child that shows TEXT", Click},
    {"press", 2, "HWND ID             clicks control ID", Press},
    {"command", 2, "HWND ID             the window gets button ID's BN_CLICKED", Command},
    {"post", 4, "HWND MSG WPARAM LPARAM   posts a message (numbers, 0x... allowed)", Post},
    {"copydata", 2,
     "HWND CASE           sends a bad hand-over: short, unterminated, kind, huge, second-missing;"
     " prints the answer",
     CopyData},
    {"drop", 2, "HWND FILE...        drops the files at the middle of the window, as the shell does", Drop},
    {"list", 2, "HWND ID             list box: \"sel N\" (-1 for none), then one row per line", List},
    {"list-select", 3, "HWND ID N           selects row N of a list box", ListSelect},
    {"combo", 3, "HWND ID N           selects entry N of a combo box and tells the window", Combo},
    {"combo-get", 2, "HWND ID             combo box: \"sel N\", then one entry per line", ComboGet},
    {"cells", 2, "HWND ID             list view: one row per line, cells separated by \"|\"", Cells},
    {"lv-rows", 2,
     "HWND ID             list view: one row per line, cells tab-separated, \"\\tselected\" after"
     " a selected row",
     LvRows},
    {"lv-select", 3, "HWND ID ROW         selects and focuses one row of a list view", LvSelect},
    {"colors", 3,
     "HWND ID ROW | HWND ID all COLUMN   list view rows as drawn: \"back BBGGRR text BBGGRR\""
     " (text: the commonest colour other than the background), for all rows after COLUMN's text"
     " and \"|\"",
     Colors},
    {"tip", 3, "HWND ID TOOL        list view tip TOOL: its text, then \"rect L T R B\"", Tip},
    {"tree", 2,
     "HWND ID             tree view: one item per line, two spaces a level, \"|\" and the expand"
     " button mark (1, 0)",
     Tree},
    {"tree-select", 3, "HWND ID PATH        selects the item PATH (\"HDD1/Movies\")", TreeSelect},
    {"tree-expand", 3, "HWND ID PATH        selects it and presses the right arrow key", TreeExpand},
    {"tree-collapse", 3, "HWND ID PATH        selects it and presses the left arrow key", TreeCollapse},
    {"scroll", 2, "HWND ID             scroll bar: \"min max pos\"", Scroll},
    {"vscroll", 3, "HWND ID CODE        the scroll request CODE (SB_...) from bar ID to its window", VScroll},
    {"ip-set", 3, "HWND ID A.B.C.D     fills an IP address control", IpSet},
    {"geometry", 1,
     "HWND                \"client W H dpi D awareness A\", then \"ID L T R B\" for each visible"
     " direct child, in client pixels",
     Geometry},
    {"rows", 2,
     "HWND ID             list view: \"L T R B INKTOP INKBOTTOM\" per row, in the window's client"
     " pixels, the ink rows of its text from the row's top (-1 -1 for none)",
     Rows},
    {"tray", 1, "-                   \"VISIBLE WIDTH\" of the notification area", Tray},
    {"balloons", 2,
     "- MS [COUNT]        each balloon as it appears within MS (or until COUNT new ones):"
     " \"MS|text|L T R B\", MS from the start (0: up already)",
     Balloons},
};

int Usage() {
    std::fprintf(stderr, "usage: uidriver VERB ARGS...\n");
    for (const Verb& verb : kVerbs) std::fprintf(stderr, "  %-14s%s\n", verb.name, verb.usage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    BecomeDpiAware();
    for (const Verb& verb : kVerbs) {
        if (std::strcmp(verb.name, argv[1]) != 0) continue;
        Call call{std::vector<std::string>(argv + 2, argv + argc)};
        return call.args.size() < verb.args ? Usage() : verb.run(call);
    }
    return Usage();
}
