// The blocks in use in all of a process's heaps: where the system and the
// program keep what they allocate, so that growth found in the resident memory
// can be told from the allocator's own slack.
#pragma once
#include <windows.h>

namespace floors {

// Calls `visit(address, size)` for every block in use. It runs with the heap
// locked: `visit` must not allocate from it.
template <typename Visit>
void ForEachBlockInUse(Visit visit) {
    HANDLE heaps[64];
    DWORD count = ::GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (!::HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (::HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) visit(entry.lpData, entry.cbData);
        ::HeapUnlock(heaps[i]);
    }
}

inline long long HeapBytesInUse() {
    long long bytes = 0;
    ForEachBlockInUse([&](void*, DWORD size) { bytes += size; });
    return bytes;
}

}  // namespace floors
