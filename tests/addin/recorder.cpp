// Stands in for Quarrow.exe beside Brevlet.dll in the tests: appends its command line, as
// Quarrow's WinMain receives it, and a line feed to the file named by BREVLET_RECORD
// (default "record.txt" beside itself). With BREVLET_RECORD_JOB set, a line of a program that
// runs inside a job object ends in " (in a job)".
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    wchar_t path[MAX_PATH * 2] = {};
    if (::GetEnvironmentVariableW(L"BREVLET_RECORD", path, MAX_PATH * 2) == 0) {
        DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
        while (length > 0 && path[length - 1] != L'\\') --length;
        path[length] = L'\0';
        ::lstrcatW(path, L"record.txt");
    }
    // Several recorders may start at once (the browser host starts one per link). Appending is not
    // atomic between processes under every system, so each one holds the file alone while it
    // writes and the others wait their turn, for up to a minute.
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 6000; ++attempt) {
        file = ::CreateFileW(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_SHARING_VIOLATION) break;
        ::Sleep(10);
    }
    if (file == INVALID_HANDLE_VALUE) return 1;
    LARGE_INTEGER end = {};
    ::SetFilePointerEx(file, end, nullptr, FILE_END);
    std::string line = commandLine ? commandLine : "";
    BOOL inJob = FALSE;
    if (::GetEnvironmentVariableW(L"BREVLET_RECORD_JOB", nullptr, 0) > 0 &&
        ::IsProcessInJob(::GetCurrentProcess(), nullptr, &inJob) && inJob)
        line += " (in a job)";
    line += '\n';
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
    return 0;
}
