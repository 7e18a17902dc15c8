#include "QuarrowApp.h"

#include <commctrl.h>

#include "app/CommandLine.h"
#include "app/HandOver.h"
#include "app/QuarrowDlg.h"
#include "app/SharedState.h"
#include "app/ShellRegistration.h"
#include "resources/resource.h"
#include "common/Dialog.h"
#include "common/Handle.h"
#include "common/Marks.h"
#include "common/WinUtil.h"

namespace app {

namespace {
CQuarrowApp g_app;
}  // namespace

CQuarrowApp& TheApp() { return g_app; }

std::string CQuarrowApp::ModulePath() { return win::ModulePath(); }

std::string CQuarrowApp::ModuleDirectory() { return win::ModuleDirectory(); }

int CQuarrowApp::Run(HINSTANCE instance, const char* commandLine) {
    // Every message box of the program carries its name, in every build of it.
    win::SetMessageTitle(win::LoadResString(IDS_MAIN_CAPTION, instance));
    win::Mark("run");
    // The character-set table first: a missing file leaves it empty.
    charsets_.LoadCharsetFile(ModuleDirectory() + "charset.csv");

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
    ::InitCommonControlsEx(&controls);

    win::SocketsScope sockets;
    if (!sockets.Ok()) {
        win::ShowMessage(nullptr, IDS_ERR_SOCKETS_INIT);
        return 1;
    }

    Command command = ParseCommandLine(commandLine);
    switch (command.form) {
    case CommandForm::Register:
        RegisterShell(ModulePath(), win::LoadResString(IDS_MENUEXT_NAME));
        return 0;
    case CommandForm::Unregister:
        UnregisterShell(win::LoadResString(IDS_MENUEXT_NAME));
        return 0;
    case CommandForm::Link:
        return SendHandOver(kHandOverLink, command.argument);
    case CommandForm::TorrentFile:
        return SendHandOver(kHandOverTorrent, command.argument);
    case CommandForm::Normal:
        break;
    }

    if (!ClaimMainWindowRole()) {
        win::ShowMessage(nullptr, IDS_ALREADY_RUNNING);
        return 0;
    }
    win::Mark("main window role");
    CQuarrowDlg dialog;
    dialog.ConnectAhead();
    win::Mark("client made");
    dialog.DoModal(instance, IDD_QUARROW_DIALOG, nullptr);
    return 0;
}

}  // namespace app
