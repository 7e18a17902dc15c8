// Floor of a single-request operation: the "bt on" form post through WinINet
// with the Basic header from the start, its reply read in 1000-byte chunks
// until the marker line is complete. Prints one "time_us: N" line per run.
#include "FloorCommon.h"

namespace {

// One exchange; false on any failure.
bool PostOnce(HINTERNET connection, const std::string& auth) {
    HINTERNET request = ::HttpOpenRequestA(connection, "POST", "/goform/formSetBtFlashState", "HTTP/1.0", nullptr,
                                           nullptr, INTERNET_FLAG_EXISTING_CONNECT, 1);
    if (!request) return false;
    static const char kBody[] = "setBtState=1";
    bool ok = ::HttpSendRequestA(request, auth.c_str(), static_cast<DWORD>(auth.size()), const_cast<char*>(kBody),
                                 sizeof kBody) != FALSE;
    std::string text;
    while (ok) {
        char buffer[1000];
        DWORD got = 0;
        if (!::InternetReadFile(request, buffer, sizeof buffer, &got)) ok = false;
        if (!ok || got == 0) break;
        text.append(buffer, got);
        size_t marker = text.find("QuarrowReturnValue:");
        if (marker != std::string::npos && text.find('\n', marker) != std::string::npos) break;
    }
    ::InternetCloseHandle(request);
    return ok && text.find("QuarrowReturnValue:Success\n") != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
    floors::Options options;
    if (!floors::ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: floor_request SERVER USER PASSWORD RUNS\n");
        return 2;
    }
    floors::Session session(options);
    const std::string auth = floors::BasicHeader(options);
    if (!session.connection || !PostOnce(session.connection, auth)) {  // warm-up, as the client's login
        std::fprintf(stderr, "floor_request: the first request failed\n");
        return 1;
    }
    for (int run = 0; run < options.runs; ++run) {
        long long start = floors::Microseconds();
        if (!PostOnce(session.connection, auth)) return 1;
        std::printf("time_us: %lld\n", floors::Microseconds() - start);
    }
    floors::ReportMemory();
    return 0;
}
