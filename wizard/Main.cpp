// Kestane: the storage server set-up wizard. Finds its language folder, makes
// sure it runs once, starts sockets and runs the wizard dialog.
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "common/Dialog.h"
#include "common/Handle.h"
#include "common/WinUtil.h"
#include "wizard/KestaneDlg.h"
#include "wizard/KestaneRes.h"
#include "wizard/WizardLogic.h"

namespace {

// One flag for every running copy of the program file.
__attribute__((section("KShared"), shared)) volatile LONG g_running = 0;

bool FileExists(const std::string& path) {
    const DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    kestane::IniFiles files;
    files.image = win::ModuleDirectory() + "image";

    char language[9] = {};
    ::GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_SABBREVLANGNAME, language, sizeof language);
    const auto folder = kestane::ChooseLanguageFolder(language, [&](const std::string& name) {
        const std::string base = files.image + "\\" + name + "\\";
        return FileExists(base + "Config.ini") && FileExists(base + "string.ini");
    });
    if (!folder) {
        // Without its files the wizard has no name to give the box either.
        win::SetMessageTitle("");
        win::ShowMessage(nullptr, "Failed to open ini file.");
        return 0;
    }
    files.config = files.image + "\\" + *folder + "\\Config.ini";
    files.strings = files.image + "\\" + *folder + "\\string.ini";
    // The dialog names its boxes after its window once it has one.
    win::SetMessageTitle(kestane::ReadIniText(files.config, "Control_String", "Window_Name", ""));

    if (::InterlockedExchange(&g_running, 1) == 1) {
        win::ShowMessage(
            nullptr,
            kestane::ReadIniText(files.strings, "MESSAGE", "One_Instance", "The Storage Server Wizard is running!"),
            MB_OK | MB_ICONWARNING);
        return 0;
    }

    win::SocketsScope sockets;
    if (!sockets.Ok() || sockets.Version() != MAKEWORD(1, 1)) return 0;

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_INTERNET_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    kestane::CKestaneDlg dialog(files);
    return static_cast<int>(dialog.DoModal(instance, IDD_KESTANE, nullptr));
}
