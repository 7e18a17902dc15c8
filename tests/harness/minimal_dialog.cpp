// The floor for the main window's start-up figures: a minimal Win32 dialog
// program with one report list of ten rows, built with the same compiler and
// run under the same Wine. Once the list is drawn it writes the start-up report
// (startup_report.h) to the file named on its command line and ends.
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <vector>

#include "startup_report.h"

namespace {

constexpr int kList = 100;
const char* g_report = "";

INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        HWND list = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT, 10, 10, 600,
                                      241, dialog, reinterpret_cast<HMENU>(kList), nullptr, nullptr);
        for (int c = 0; c < 7; ++c) {
            LVCOLUMNA column = {};
            column.mask = LVCF_WIDTH | LVCF_TEXT;
            column.cx = 100;
            column.pszText = const_cast<char*>("Column");
            ::SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
        }
        for (int r = 0; r < 10; ++r) {
            LVITEMA item = {};
            item.mask = LVIF_TEXT;
            item.iItem = r;
            item.pszText = const_cast<char*>("job");
            ::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
        ::PostMessageA(dialog, WM_APP, 0, 0);
        return TRUE;
    }
    if (message == WM_APP) {
        ReportDrawnAndEnd(dialog, g_report);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    g_report = commandLine;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    // An empty dialog template in memory: caption, no controls.
    std::vector<WORD> memory(64, 0);
    auto* dialog = reinterpret_cast<DLGTEMPLATE*>(memory.data());
    dialog->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_CENTER;
    dialog->cx = 420;
    dialog->cy = 200;
    return static_cast<int>(::DialogBoxIndirectParamA(instance, dialog, nullptr, &Proc, 0));
}
