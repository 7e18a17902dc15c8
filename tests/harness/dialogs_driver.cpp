// Shows the server folder dialog against a server, as the add dialogs and the
// default-path command will:
//   dialogs_driver ADDRESS OUTFILE [WAIT_TIMEOUT_MS]
// connects (login dialog if the server asks), shows the dialog and writes
// "connect N", "result N" and, after OK, "path P" to OUTFILE. A failed connect
// instead writes whether a login prompt is still open a moment later.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/WaitDlg.h"
#include "resources/resource.h"
#include "client/DeviceClient.h"
#include "common/Dialog.h"
#include "dialogs/LogInDlg.h"
#include "dialogs/SelPathDlg.h"
#include "settings/Settings.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 3) return 2;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    if (__argc > 3) app::CWaitDlg::SetTimeoutForTesting(static_cast<DWORD>(std::atoi(__argv[3])));
    client::CDeviceClient device(std::make_shared<app::WaitDialogHost>());
    device.SetLoginHooks({std::make_shared<settings::RegistryLoginStore>(), dialogs::LogInDialogFactory()});
    int result = device.Run(client::OperationKind::Connect, client::ConnectArg{__argv[1], __argv[1]});
    std::string out;
    auto line = [&out](const char* key, const std::string& value) {
        out.append(key).append(" ").append(value).append("\n");
    };
    line("connect", std::to_string(result));
    if (result != 0) {
        ::Sleep(1500);
        std::string caption = std::string("Log in ").append(__argv[1]);
        line("login-open", ::FindWindowA(nullptr, caption.c_str()) ? "1" : "0");
    } else {
        dialogs::CSelPathDlg dialog(device);
        INT_PTR ended = dialog.Show(nullptr);
        line("result", std::to_string(static_cast<int>(ended)));
        if (ended == IDOK) line("path", dialog.SelectedPath());
    }
    if (FILE* f = std::fopen(__argv[2], "wb")) {
        std::fputs(out.c_str(), f);
        std::fclose(f);
    }
    return 0;
}
