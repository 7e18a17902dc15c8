// Shared pieces of the floor clients: the smallest programs that do what one
// device operation does through the same platform layers, so that the
// benchmark can tell the client's own cost from the platform's.
#pragma once
#include <windows.h>
#include <wininet.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace floors {

// Command line: SERVER USER PASSWORD RUNS
struct Options {
    const char* server = nullptr;
    std::string user, password;
    int runs = 0;
};

inline bool ParseOptions(int argc, char** argv, Options& options) {
    if (argc != 5) return false;
    options.server = argv[1];
    options.user = argv[2];
    options.password = argv[3];
    options.runs = std::atoi(argv[4]);
    return options.runs > 0;
}

inline std::string Base64(const std::string& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 | (unsigned char)bytes[i + 2];
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], kDigits[v & 63]};
    }
    if (i + 1 == bytes.size()) {
        unsigned v = (unsigned char)bytes[i] << 16;
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], '=', '='};
    } else if (i + 2 == bytes.size()) {
        unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8;
        out += {kDigits[v >> 18], kDigits[(v >> 12) & 63], kDigits[(v >> 6) & 63], '='};
    }
    return out;
}

// The Basic header sent with every request from the start.
inline std::string BasicHeader(const Options& options) {
    return "Authorization: Basic " + Base64(options.user + ":" + options.password) + "\r\n";
}

inline long long Microseconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart * 1000000 / frequency.QuadPart;
}

inline void ReportMemory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        std::printf("memory: peak_working_set=%llu peak_pagefile=%llu\n",
                    (unsigned long long)counters.PeakWorkingSetSize, (unsigned long long)counters.PeakPagefileUsage);
}

// A session and a connection as the client opens them.
struct Session {
    HINTERNET internet = nullptr, connection = nullptr;
    explicit Session(const Options& options) {
        internet = ::InternetOpenA("Quarrow", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
        if (internet)
            connection = ::InternetConnectA(internet, options.server, INTERNET_DEFAULT_HTTP_PORT, options.user.c_str(),
                                            options.password.c_str(), INTERNET_SERVICE_HTTP, 0, 1);
    }
    ~Session() {
        if (connection) ::InternetCloseHandle(connection);
        if (internet) ::InternetCloseHandle(internet);
    }
};

}  // namespace floors
