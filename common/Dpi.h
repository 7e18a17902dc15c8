// Display scale. Both programs lay out some of their windows in pixels meant
// for 96 DPI (100 %); these helpers turn such a length into the pixels of the
// window's own scale. On systems without the per-monitor functions the
// scale of the whole screen stands in.
#pragma once
#include <windows.h>

namespace win {

constexpr UINT kBaseDpi = 96;

// The DPI a window is shown at (GetDpiForWindow where the system has it).
UINT DpiOfWindow(HWND window);
// A length in 96-DPI pixels at `dpi`; unchanged at 96.
inline int ScaleToDpi(int pixels, UINT dpi) { return ::MulDiv(pixels, static_cast<int>(dpi), kBaseDpi); }
// GetSystemMetrics at `dpi` (icon sizes, scroll bar widths).
int SystemMetricAt(int index, UINT dpi);

}  // namespace win
