// Shows the server folder dialog against a server, as the add dialogs and the
// default-path command will:
//   dialogs_driver ADDRESS OUTFILE
// connects (login dialog if the server asks), shows the dialog and writes
// "result N" and, after OK, "path P" to OUTFILE.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/WaitDlg.h"
#include "app/resource.h"
#include "client/DeviceClient.h"
#include "common/Dialog.h"
#include "dialogs/LogInDlg.h"
#include "dialogs/SelPathDlg.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 3) return 2;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    client::CDeviceClient device(std::make_shared<app::WaitDialogHost>());
    device.SetLoginHooks({std::make_shared<client::RegistryLoginStore>(win::LoadResString(IDS_REGISTRY_KEY)),
                          dialogs::LogInDialogFactory()});
    int result = device.Connect(__argv[1], __argv[1]);
    std::string out = "connect " + std::to_string(result) + "\n";
    if (result == 0) {
        dialogs::CSelPathDlg dialog(device);
        INT_PTR ended = dialog.Show(nullptr);
        out += "result " + std::to_string(static_cast<int>(ended)) + "\n";
        if (ended == IDOK) out += "path " + dialog.SelectedPath() + "\n";
    }
    if (FILE* f = std::fopen(__argv[2], "wb")) {
        std::fputs(out.c_str(), f);
        std::fclose(f);
    }
    return 0;
}
