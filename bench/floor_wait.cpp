// Floor of a refresh behind a wait dialog: the status refresh (StatusPage.h)
// done RUNS times on one kept worker thread while the window thread shows a
// modal dialog over a visible window, with a status line, an animation timer
// and a time-out timer, ended by the worker's posted message. After every
// tenth it appends a line to FILE: how many are done, and the bytes in use in
// its heaps.
// Usage: floor_wait SERVER USER PASSWORD RUNS FILE
#include "HeapUse.h"
#include "StatusPage.h"

namespace {
constexpr UINT kDone = WM_APP + 1;
floors::Options g_options;
std::string g_auth;
HANDLE g_work = nullptr;
HWND g_dialog = nullptr;
bool g_failed = false;

DWORD WINAPI Worker(void*) {
    ::CoInitialize(nullptr);
    floors::Session session(g_options);
    for (;;) {
        ::WaitForSingleObject(g_work, INFINITE);
        std::string page;
        if (!session.connection || !floors::Fetch(session.connection, g_auth, page) || floors::Parse(page) <= 0)
            g_failed = true;
        ::PostMessageA(g_dialog, kDone, 0, 0);
    }
}

INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        ::SetDlgItemTextA(dialog, 10, "Refreshing...");
        ::SetDlgItemTextA(dialog, 11, "Please wait ");
        ::SetTimer(dialog, 100, 300, nullptr);
        ::SetTimer(dialog, 500, 300000, nullptr);
        g_dialog = dialog;
        ::SetEvent(g_work);
        return TRUE;
    case kDone:
        ::EndDialog(dialog, 0);
        return TRUE;
    case WM_DESTROY:
        ::KillTimer(dialog, 100);
        ::KillTimer(dialog, 500);
        return TRUE;
    }
    return FALSE;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 6 || !floors::ParseOptions(5, argv, g_options)) {
        std::fprintf(stderr, "usage: floor_wait SERVER USER PASSWORD RUNS FILE\n");
        return 2;
    }
    g_auth = floors::BasicHeader(g_options);
    g_work = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ::CloseHandle(::CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr));
    HWND owner = ::CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                   nullptr, nullptr, nullptr);
    for (int done = 1; done <= g_options.runs && !g_failed; ++done) {
        ::DialogBoxParamA(nullptr, MAKEINTRESOURCEA(1), owner, &Proc, 0);
        if (done % 10 == 0)
            if (FILE* out = std::fopen(argv[5], "a")) {
                std::fprintf(out, "%d %lld\n", done, floors::HeapBytesInUse());
                std::fclose(out);
            }
    }
    if (g_failed) std::fprintf(stderr, "floor_wait: fetch or parse failed\n");
    ::DestroyWindow(owner);
    return g_failed ? 1 : 0;
}
