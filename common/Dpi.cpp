#include "common/Dpi.h"

namespace win {

namespace {
// Looked up at run time: Windows before 10 (1607) lacks these.
template <typename Function>
Function UserFunction(const char* name) {
    HMODULE user = ::GetModuleHandleA("user32.dll");
    return user ? reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user, name))) : nullptr;
}

UINT ScreenDpi() {
    HDC screen = ::GetDC(nullptr);
    int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}
}  // namespace

UINT DpiOfWindow(HWND window) {
    static const auto forWindow = UserFunction<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
    UINT dpi = forWindow && window ? forWindow(window) : 0;
    return dpi ? dpi : ScreenDpi();
}

int SystemMetricAt(int index, UINT dpi) {
    static const auto forDpi = UserFunction<int(WINAPI*)(int, UINT)>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, dpi);
    // The system's metrics are for the screen's scale: bring them to `dpi`.
    return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(ScreenDpi()));
}

}  // namespace win
