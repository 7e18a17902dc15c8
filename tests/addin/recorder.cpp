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
    HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
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
