// Memory floor of a dialog shown and closed again and again over a window, as
// each device operation shows its wait dialog: a modal dialog made from a
// template in memory, ended by its first timer tick, N times. Writes how many
// are done to FILE after every tenth. Usage: floor_dialogs N FILE
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) return ::SetTimer(dialog, 1, 1, nullptr) != 0;
    if (message == WM_TIMER) ::EndDialog(dialog, 0);
    return FALSE;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[1]) <= 0) return 2;
    HWND owner = ::CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                   nullptr, nullptr, nullptr);
    std::vector<WORD> memory(64, 0);
    auto* dialog = reinterpret_cast<DLGTEMPLATE*>(memory.data());
    dialog->style = WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_CENTER;
    dialog->cx = 150;
    dialog->cy = 40;
    for (int done = 1; done <= std::atoi(argv[1]); ++done) {
        ::DialogBoxIndirectParamA(nullptr, dialog, owner, &Proc, 0);
        if (done % 10 == 0)
            if (FILE* out = std::fopen(argv[2], "w")) {
                std::fprintf(out, "%d\n", done);
                std::fclose(out);
            }
    }
    ::DestroyWindow(owner);
    return 0;
}
