// The UI driver's helper for "drop": a message hook that the driver installs on
// the thread of another process's window. Run there, it copies the drop block
// that the driver left in a named mapping into a memory block of that process
// and posts WM_DROPFILES with it, as the shell's drop target does on Windows.
// (Wine passes a posted WM_DROPFILES on with the sender's handle value, which
// means nothing in another process.)
#include <windows.h>

#include <cstring>

#include "drop_hook.h"

extern "C" __declspec(dllexport) LRESULT CALLBACK DropHookProc(int code, WPARAM wp, LPARAM lp) {
    if (HANDLE mapping = ::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, kDropMappingName)) {
        if (auto* shared = static_cast<DropMapping*>(::MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0))) {
            if (::InterlockedCompareExchange(&shared->taken, 1, 0) == 0) {
                HGLOBAL block = ::GlobalAlloc(GMEM_MOVEABLE, shared->size);
                void* data = block ? ::GlobalLock(block) : nullptr;
                if (data) {
                    std::memcpy(data, shared + 1, shared->size);
                    ::GlobalUnlock(block);
                    HWND window = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(shared->window));
                    if (::PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0))
                        shared->posted = 1;
                    else
                        ::GlobalFree(block);
                }
                if (HANDLE done = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, kDropDoneName)) {
                    ::SetEvent(done);
                    ::CloseHandle(done);
                }
            }
            ::UnmapViewOfFile(shared);
        }
        ::CloseHandle(mapping);
    }
    return ::CallNextHookEx(nullptr, code, wp, lp);
}
