#include <windows.h>

#include "app/QuarrowApp.h"
#include "resources/resource.h"
#include "common/Dialog.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    try {
        // Every message box of the program carries its name.
        win::SetMessageTitle(win::LoadResString(IDS_MAIN_CAPTION, instance));
        return app::TheApp().Run(instance, commandLine);
    } catch (...) {
        return 1;
    }
}
