#include <windows.h>

#include "app/QuarrowApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    try {
        return app::TheApp().Run(instance, commandLine);
    } catch (...) { return 1; }
}
