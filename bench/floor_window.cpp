// The platform's part of the main window's start: the same dialog template
// (its controls, their classes and styles, the menu) with the same manifest
// (common controls of version 6, display-scale aware), its lists' columns and
// ten rows each of texts drawn by the program, every row's controls filled and
// shown, then one paint. No connection, no layout of its own, no program logic.
// Once drawn it writes the start-up report (tests/harness/startup_report.h) to
// the file named on its command line and ends, as tests/minimal_dialog.exe does.
#include <windows.h>
#include <commctrl.h>

#include <initializer_list>

#include "resources/resource.h"
#include "tests/harness/startup_report.h"

namespace {

const char* g_report = "";
constexpr int kRows = 10, kRowHeight = 20;

void AddColumns(HWND list, int count) {
    for (int c = 0; c < count; ++c) {
        LVCOLUMNA column = {};
        column.mask = LVCF_WIDTH | LVCF_TEXT;
        column.cx = 100;
        column.pszText = const_cast<char*>("Column");
        ::SendMessageA(list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    }
}

void FillList(HWND dialog, int listId, int actionsId, int columns, int actionColumns) {
    HWND list = ::GetDlgItem(dialog, listId);
    AddColumns(list, columns);
    AddColumns(::GetDlgItem(dialog, actionsId), actionColumns);
    char text[] = "fill-job-000.bin";
    for (int r = 0; r < kRows; ++r) {
        LVITEMA item = {};
        item.iItem = r;
        ::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        for (int c = 0; c < columns; ++c) {
            item.iSubItem = c;
            item.pszText = text;
            ::SendMessageA(list, LVM_SETITEMTEXTA, r, reinterpret_cast<LPARAM>(&item));
        }
    }
}

// The rows as the program draws them: each cell filled and its text written.
void DrawRow(const DRAWITEMSTRUCT& draw) {
    HBRUSH brush = ::CreateSolidBrush(RGB(255, 255, 255));
    RECT cell = draw.rcItem;
    char text[256];
    for (int c = 0; c < 7; ++c) {
        cell.right = cell.left + ListView_GetColumnWidth(draw.hwndItem, c);
        ::FillRect(draw.hDC, &cell, brush);
        text[0] = '\0';
        ListView_GetItemText(draw.hwndItem, draw.itemID, c, text, sizeof text);
        RECT inner = cell;
        ::InflateRect(&inner, -1, -1);
        ::DrawTextA(draw.hDC, text, -1, &inner, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        cell.left = cell.right;
    }
    ::DeleteObject(brush);
}

INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM, LPARAM lp) {
    switch (message) {
    case WM_INITDIALOG:
        FillList(dialog, IDC_MAIN_BT_LIST, IDC_MAIN_BT_ACTIONS, 7, 3);
        FillList(dialog, IDC_MAIN_WEB_LIST, IDC_MAIN_WEB_ACTIONS, 6, 2);
        for (int r = 0; r < kRows; ++r) {
            HWND priority = ::GetDlgItem(dialog, IDC_BT_PRIORITY_FIRST + r);
            for (const char* entry : {"High", "Normal", "Low"})
                ::SendMessageA(priority, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
            ::SendMessageA(priority, CB_SETCURSEL, 1, 0);
            for (int id : {IDC_BT_ACTION_FIRST, IDC_WEB_ACTION_FIRST}) ::SetDlgItemTextA(dialog, id + r, "Pause");
            for (int id : {IDC_BT_REMOVE_FIRST, IDC_WEB_REMOVE_FIRST}) ::SetDlgItemTextA(dialog, id + r, "Remove");
        }
        ::PostMessageA(dialog, WM_APP, 0, 0);
        return TRUE;
    case WM_MEASUREITEM:
        reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = kRowHeight;
        return TRUE;
    case WM_DRAWITEM:
        DrawRow(*reinterpret_cast<DRAWITEMSTRUCT*>(lp));
        return TRUE;
    case WM_APP:
        ::ShowWindow(dialog, SW_SHOW);
        ReportDrawnAndEnd(dialog, g_report);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    g_report = commandLine;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    return static_cast<int>(::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_QUARROW_DIALOG), nullptr, &Proc, 0));
}
