#include "dialogs/AboutDlg.h"

#include "resources/resource.h"

namespace dialogs {

CAboutDlg::CAboutDlg() {
    OnClicked(IDOK, [this] { End(IDOK); });
    OnClicked(IDCANCEL, [this] { End(IDCANCEL); });
}

INT_PTR CAboutDlg::Show(HWND owner) { return DoModal(::GetModuleHandleA(nullptr), IDD_ABOUTBOX, owner); }

}  // namespace dialogs
