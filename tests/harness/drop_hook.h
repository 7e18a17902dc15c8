// What the UI driver and its drop hook share: a mapping with the target window
// and the drop block, and an event set once the hook has posted it.
#pragma once
#include <windows.h>

constexpr wchar_t kDropMappingName[] = L"QuarrowUiDriverDrop";
constexpr wchar_t kDropDoneName[] = L"QuarrowUiDriverDropDone";

struct DropMapping {
    unsigned long long window;  // window handles are 32-bit significant in every process
    DWORD size;                 // bytes of the DROPFILES block that follows
    volatile LONG taken;        // 1 once a hook call took the block
    LONG posted;                // 1 once it was posted
};
