// Bytes in use in all of a process's heaps: where the system and the program
// keep what they allocate, so that growth found in the resident memory can be
// told from the allocator's own slack.
#pragma once
#include <windows.h>

namespace floors {

inline long long HeapBytesInUse() {
    HANDLE heaps[64];
    DWORD count = ::GetProcessHeaps(64, heaps);
    long long bytes = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (!::HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (::HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
        ::HeapUnlock(heaps[i]);
    }
    return bytes;
}

}  // namespace floors
