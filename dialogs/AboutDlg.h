// The about box from the main window's system menu.
#pragma once
#include <windows.h>

#include "common/Dialog.h"

namespace dialogs {

class CAboutDlg : public win::CDialog {
public:
    CAboutDlg();
    INT_PTR Show(HWND owner);
};

}  // namespace dialogs
