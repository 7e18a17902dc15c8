// Runs a program as a browser may run its messaging host on Windows: inside a job object that
// lets processes leave it and ends every process still in it when the job is closed, which
// happens as soon as the program has ended. The program gets this one's standard streams;
// the exit code is the program's (or 99 when it could not be started).
//   in_job.exe PROGRAM [ARGUMENT ...]      (arguments without blanks or quotes)
#include <windows.h>

#include <string>

#include "common/Handle.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 99;
    std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\"";
    for (int i = 2; i < argc; ++i) commandLine += L" " + std::wstring(argv[i]);

    win::Handle job(::CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    if (!job || !::SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        return 99;

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(argv[1], commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr,
                          &startup, &started))
        return 99;
    win::Handle process(started.hProcess), thread(started.hThread);
    if (!::AssignProcessToJobObject(job.Get(), process.Get())) {
        ::TerminateProcess(process.Get(), 99);
        return 99;
    }
    ::ResumeThread(thread.Get());
    ::WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 99;
    ::GetExitCodeProcess(process.Get(), &code);
    return static_cast<int>(code);
}
