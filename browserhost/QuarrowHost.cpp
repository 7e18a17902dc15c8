// QuarrowHost.exe: the browsers' native messaging host behind "Download with Quarrow". The
// browser starts it with pipes on standard input and output and sends one or more requests;
// for each good one it starts Quarrow.exe beside itself with "/l HEX CHARSET", exactly as the
// add-in does, and answers whether that worked. It never waits for Quarrow: the hand-over
// itself may take as long as the main window is busy, and outlives this host (a browser may
// end the host together with everything it started, unless that left the browser's job).
#include <windows.h>

#include <cstdint>
#include <string>

#include "addin/LinkCommand.h"
#include "browserhost/NativeMessage.h"
#include "common/Handle.h"

namespace {

std::wstring OwnPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// Reads exactly `size` bytes; false at the end of the stream or on a broken pipe, with the
// count that did arrive in `got`.
bool ReadAll(HANDLE in, char* buffer, DWORD size, DWORD& got) {
    got = 0;
    while (got < size) {
        DWORD read = 0;
        if (!::ReadFile(in, buffer + got, size - got, &read, nullptr) || read == 0) return false;
        got += read;
    }
    return true;
}

bool WriteAll(HANDLE out, const std::string& bytes) {
    DWORD done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!::WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

std::string Answer(const std::string& body, const std::wstring& self) {
    browserhost::LinkRequest request;
    if (std::string problem = browserhost::CheckLinkRequest(body, request); !problem.empty())
        return browserhost::ErrorReply(problem);
    const std::string parameters = brevlet::LinkHandOverParameters(request.link, request.charset);
    if (!brevlet::FitsCommandLine(brevlet::ProgramBeside(self), brevlet::FromThreadAnsi(parameters)))
        return browserhost::ErrorReply(browserhost::kTooLongForCommandLine);
    if (!brevlet::StartQuarrowBeside(self, parameters, brevlet::Job::Leave))
        return browserhost::ErrorReply(browserhost::kNotStarted);
    return browserhost::OkReply();
}

// 0 when the browser closed the stream between messages; 1 when it broke off inside one,
// or an answer could not be written.
int Serve(HANDLE in, HANDLE out) {
    const std::wstring self = OwnPath();
    for (;;) {
        uint32_t length = 0;
        DWORD got = 0;
        if (!ReadAll(in, reinterpret_cast<char*>(&length), sizeof length, got)) {
            if (got == 0) return 0;
            WriteAll(out, browserhost::ErrorReply(browserhost::kTruncated));
            return 1;
        }
        // The body of a message this large is not read at all: whatever follows it can no
        // longer be told apart from the next message, so the conversation ends here.
        if (length > browserhost::kMaxRequestBytes) {
            WriteAll(out, browserhost::ErrorReply(browserhost::kTooLarge));
            return 1;
        }
        std::string body(length, '\0');
        if (!ReadAll(in, body.data(), length, got)) {
            WriteAll(out, browserhost::ErrorReply(browserhost::kTruncated));
            return 1;
        }
        if (!WriteAll(out, Answer(body, self))) return 1;
    }
}

}  // namespace

int main() {
    // No error box of the system may wait for a click that nobody sees: the browser runs us
    // without a window.
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // The shell's start of a program wants COM on the calling thread.
    win::ComScope com;
    try {
        return Serve(::GetStdHandle(STD_INPUT_HANDLE), ::GetStdHandle(STD_OUTPUT_HANDLE));
    } catch (...) {
        // Out of memory is all that can be thrown here; end as a broken conversation.
        return 1;
    }
}
