#include "addin/LinkCommand.h"

#include <windows.h>
#include <shellapi.h>

#include "common/Handle.h"

namespace brevlet {

std::string HexLink(std::wstring_view link) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(link.size() * 4);
    for (wchar_t unit : link) {
        const unsigned value = static_cast<unsigned>(unit) & 0xFFFF;
        for (unsigned byte : {value & 0xFF, value >> 8}) {
            hex += digits[byte >> 4];
            hex += digits[byte & 0xF];
        }
    }
    return hex;
}

std::string ToThreadAnsi(std::wstring_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    int size = ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string ansi(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.data(), length, ansi.data(), size, nullptr, nullptr);
    return ansi;
}

std::wstring FromThreadAnsi(std::string_view text) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    int size = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, nullptr, 0);
    if (size <= 0) return {};
    std::wstring wide(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_THREAD_ACP, 0, text.data(), length, wide.data(), size);
    return wide;
}

std::string QuotedLinkParameters(std::string_view ansiLink) {
    // Replaced after the conversion to ANSI: a best-fit mapping may have turned a
    // look-alike (a full-width quote) into a plain one. No lead byte of a double-byte
    // code page is followed by 0x22, so every 0x22 byte here is a quote.
    std::string parameters = "/l \"";
    for (char c : ansiLink) {
        if (c == '"')
            parameters += "%22";
        else
            parameters += c;
    }
    parameters += '"';
    return parameters;
}

std::string LinkWithLangParameters(std::string_view hex, std::string_view ansiCharset) {
    std::string parameters = "/l ";
    parameters += hex;
    parameters += ' ';
    parameters += ansiCharset;
    return parameters;
}

std::string LinkHandOverParameters(std::wstring_view link, std::wstring_view charset) {
    return LinkWithLangParameters(HexLink(link), ToThreadAnsi(CommandLineCharset(charset)));
}

std::wstring CommandLineCharset(std::wstring_view name) {
    static const std::wstring_view marks = L"-_.:+!#$%&'^`{}~";
    std::wstring safe;
    safe.reserve(name.size());
    for (wchar_t c : name) {
        const bool letterOrDigit = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9');
        safe += (letterOrDigit || marks.find(c) != std::wstring_view::npos) ? c : L'_';
    }
    return safe;
}

std::wstring ProgramBeside(std::wstring_view modulePath) {
    const size_t slash = modulePath.rfind(L'\\');
    std::wstring program(slash == std::wstring_view::npos ? std::wstring_view() : modulePath.substr(0, slash + 1));
    program += L"Quarrow.exe";
    return program;
}

bool FitsCommandLine(std::wstring_view program, std::wstring_view parameters) {
    // The shell starts "PROGRAM" PARAMETERS; a process command line holds 32767
    // characters with its terminating zero. A longer one would not start at all, or cut.
    const size_t length = program.size() + 2 + 1 + parameters.size();
    return length < 32767;
}

namespace {

// The shell cannot be asked to start a program outside the caller's job: this is the shell's
// "open" of a program file done by hand, with the one flag added.
bool StartOutsideJob(const std::wstring& program, const std::wstring& parameters) {
    BOOL inJob = FALSE;
    if (!::IsProcessInJob(::GetCurrentProcess(), nullptr, &inJob) || !inJob) return false;
    std::wstring commandLine = L"\"" + program + L"\" " + parameters;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_BREAKAWAY_FROM_JOB,
                          nullptr, nullptr, &startup, &started))
        return false;
    win::Handle process(started.hProcess), thread(started.hThread);
    return true;
}

}  // namespace

bool StartQuarrowBeside(std::wstring_view modulePath, const std::string& parameters, Job job) {
    const std::wstring program = ProgramBeside(modulePath);
    const std::wstring wideParameters = FromThreadAnsi(parameters);
    // A command line the system would refuse or cut must not hand over a shortened link.
    if (!FitsCommandLine(program, wideParameters)) return false;
    // Outside the job where it may leave it; in a job that forbids that (or none), as usual.
    if (job == Job::Leave && StartOutsideJob(program, wideParameters)) return true;
    // No error box when it is missing (nothing visible may happen), and no asynchronous
    // start that the caller's end could cut short.
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = program.c_str();
    info.lpParameters = wideParameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) != FALSE;
}

}  // namespace brevlet
