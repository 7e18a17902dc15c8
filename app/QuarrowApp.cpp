#include "QuarrowApp.h"

#include <commctrl.h>
#include <winsock2.h>

#include "app/CommandLine.h"
#include "app/QuarrowDlg.h"
#include "app/SharedState.h"
#include "app/ShellRegistration.h"
#include "app/resource.h"
#include "common/Dialog.h"
#include "common/WinUtil.h"

namespace app {

namespace {
CQuarrowApp g_app;

void ShowMessage(UINT id) {
    ::MessageBoxA(nullptr, win::LoadResString(id).c_str(), "Quarrow", MB_OK);
}
}  // namespace

CQuarrowApp& TheApp() { return g_app; }

std::string CQuarrowApp::ModulePath() { return win::ModulePath(); }

std::string CQuarrowApp::ModuleDirectory() { return win::ModuleDirectory(); }

int CQuarrowApp::Run(HINSTANCE instance, const char* commandLine) {
    // The character-set table first: a missing file leaves it empty.
    charsets_.LoadCharsetFile(ModuleDirectory() + "charset.csv");

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
    ::InitCommonControlsEx(&controls);

    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(1, 1), &wsa) != 0) {
        ShowMessage(IDS_ERR_SOCKETS_INIT);
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
        return SendLinkHandOver(command.argument);
    case CommandForm::TorrentFile:
        return SendTorrentHandOver(command.argument);
    case CommandForm::Normal:
        break;
    }

    if (!ClaimMainWindowRole()) {
        ShowMessage(IDS_ALREADY_RUNNING);
        return 0;
    }
    CQuarrowDlg dialog;
    dialog.DoModal(instance, IDD_QUARROW_DIALOG, nullptr);
    return 0;
}

// The hand-over to a running main window arrives with the hand-over work;
// until then the arguments are checked and the process ends.
int SendTorrentHandOver(const std::string& argument) {
    return TorrentPathFromArgument(argument).empty() ? 1 : 0;
}

int SendLinkHandOver(const std::string& argument) {
    LinkArgument link;
    return ParseLinkArgument(argument, link) ? 0 : 1;
}

}  // namespace app

