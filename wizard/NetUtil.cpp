#include "wizard/NetUtil.h"

#include <icmpapi.h>
#include <ipexport.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "common/Handle.h"

namespace netutil {

namespace {

// IP Helper writes structures with pointers into these buffers, so they must
// be aligned for them.
class AlignedBuffer {
public:
    explicit AlignedBuffer(ULONG size) { Resize(size); }
    void Resize(ULONG size) {
        size_ = size;
        words_ = std::make_unique<uint64_t[]>(size / sizeof(uint64_t) + 1);
    }
    template <typename T>
    T* As() {
        return reinterpret_cast<T*>(words_.get());
    }
    ULONG* Size() { return &size_; }

private:
    std::unique_ptr<uint64_t[]> words_;
    ULONG size_ = 0;
};

constexpr ULONG kNetworkParamsBuffer = 584;
constexpr ULONG kAdaptersInfoBuffer = 10368;  // room for 16 adapters of the 32-bit layout

}  // namespace

DWORD AdapterSystem::NetworkParams(FIXED_INFO* info, ULONG* size) { return ::GetNetworkParams(info, size); }

DWORD AdapterSystem::AdaptersInfo(IP_ADAPTER_INFO* info, ULONG* size) { return ::GetAdaptersInfo(info, size); }

bool AdapterSystem::IsWindowsMe() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!::GetVersionExA(&version)) return false;
    return IsWindowsMeVersion(version.dwMajorVersion, version.dwMinorVersion);
}

std::optional<std::string> AdapterSystem::DhcpReport() {
    // By name, so that the program's own folder is searched first.
    ::WinExec("dhcp.bat", SW_HIDE);
    ::Sleep(3000);
    return ReadReportFile("c:\\dhcp.txt");
}

bool IsWindowsMeVersion(DWORD major, DWORD minor) { return major == 4 && minor == 90; }

bool ReportSaysDhcp(std::string_view report) {
    std::string text(report);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    const size_t dhcp = text.find("dhcp");
    if (dhcp == std::string::npos) return false;
    const size_t yes = text.find("yes", dhcp);
    const size_t no = text.find("no", dhcp);
    return yes != std::string::npos && (no == std::string::npos || yes < no);
}

std::optional<std::string> ReadReportFile(const char* path, size_t maxBytes) {
    std::string text;
    {
        win::FileHandle file(
            ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return std::nullopt;
        text.resize(maxBytes);
        DWORD total = 0, got = 0;
        while (total < maxBytes &&
               ::ReadFile(file.Get(), text.data() + total, static_cast<DWORD>(maxBytes - total), &got, nullptr) &&
               got > 0) {
            total += got;
        }
        text.resize(total);
    }
    ::DeleteFileA(path);
    return text;
}

int QueryAdapters(PcNetValues& values, uint8_t* autoAddressFlag) {
    AdapterSystem system;
    return QueryAdapters(values, autoAddressFlag, system);
}

int QueryAdapters(PcNetValues& values, uint8_t* autoAddressFlag, AdapterSystem& system) {
    AlignedBuffer params(kNetworkParamsBuffer);
    DWORD result = system.NetworkParams(params.As<FIXED_INFO>(), params.Size());
    if (result == ERROR_BUFFER_OVERFLOW) {
        params.Resize(*params.Size());
        result = system.NetworkParams(params.As<FIXED_INFO>(), params.Size());
    }
    if (result == NO_ERROR) {
        values.dns = params.As<FIXED_INFO>()->DnsServerList.IpAddress.String;
    } else {
        char text[64];
        std::snprintf(text, sizeof text, "GetNetworkParams call failed with %lu", static_cast<unsigned long>(result));
        values.diagnostic = text;
        ::OutputDebugStringA(text);
    }

    // The 64-bit layout is larger than the one the fixed buffer was sized for;
    // rather than lose adapters, take the size the system asks for once.
    AlignedBuffer adapters(kAdaptersInfoBuffer);
    result = system.AdaptersInfo(adapters.As<IP_ADAPTER_INFO>(), adapters.Size());
    if (result == ERROR_BUFFER_OVERFLOW) {
        adapters.Resize(*adapters.Size());
        result = system.AdaptersInfo(adapters.As<IP_ADAPTER_INFO>(), adapters.Size());
    }
    if (result != NO_ERROR) return 0;

    const bool windowsMe = system.IsWindowsMe();
    int count = 0;
    for (const IP_ADAPTER_INFO* a = adapters.As<IP_ADAPTER_INFO>(); a; a = a->Next) {
        ++count;
        values.mac.fill(0);
        std::memcpy(values.mac.data(), a->Address, std::min<size_t>(a->AddressLength, values.mac.size()));
        bool dhcp = a->DhcpEnabled != 0;
        if (windowsMe) {
            if (const auto report = system.DhcpReport()) dhcp = ReportSaysDhcp(*report);
        }
        values.dhcp = dhcp;
        if (autoAddressFlag) *autoAddressFlag = dhcp ? 1 : 0;
        if (!dhcp || a->Next == nullptr) {
            values.ip = a->IpAddressList.IpAddress.String;
            values.mask = a->IpAddressList.IpMask.String;
            values.gateway = a->GatewayList.IpAddress.String;
        }
    }
    values.adapterCount = count;
    return count;
}

// --- ICMP echo ----------------------------------------------------------------

uint16_t InternetChecksum(const uint8_t* data, size_t size) {
    uint32_t sum = 0;
    size_t i = 0;
    for (; i + 1 < size; i += 2) sum += static_cast<uint32_t>(data[i] | (data[i + 1] << 8));
    if (i < size) sum += data[i];
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

namespace {

void Put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

std::array<uint8_t, kEchoRequestSize> BuildEchoRequest(uint16_t identifier, uint16_t sequence, uint32_t sendTick) {
    std::array<uint8_t, kEchoRequestSize> r{};
    r[0] = 8;
    r[1] = 0;
    Put16(&r[4], identifier);
    Put16(&r[6], sequence);
    for (int i = 0; i < 4; ++i) r[8 + i] = static_cast<uint8_t>(sendTick >> (8 * i));
    std::fill(r.begin() + 12, r.end(), 0x16);
    Put16(&r[2], InternetChecksum(r.data(), r.size()));
    return r;
}

EchoDecode DecodeEchoReply(const uint8_t* data, size_t length, uint16_t identifier) {
    EchoDecode d;
    if (length == 0) return d;
    const size_t header = static_cast<size_t>(data[0] & 0x0F) * 4;
    if (length < header + 8) return d;
    // Read through a zeroed copy so that a reply too short for the send time
    // reads zeros rather than whatever lies beyond it.
    uint8_t icmp[12]{};
    std::memcpy(icmp, data + header, std::min<size_t>(sizeof icmp, length - header));
    d.type = icmp[0];
    d.sequence = Get16(&icmp[6]);
    d.sendTick =
        static_cast<uint32_t>(icmp[8] | (icmp[9] << 8) | (icmp[10] << 16)) | (static_cast<uint32_t>(icmp[11]) << 24);
    if (d.type != 0) {
        d.kind = EchoKind::NotEchoReply;
    } else if (Get16(&icmp[4]) != identifier) {
        d.kind = EchoKind::OtherProcess;
    } else {
        d.kind = EchoKind::Reply;
    }
    return d;
}

namespace {

// Echo requests of both routes count on from one sequence, across pings; a
// search left behind may still be pinging beside the current one.
std::atomic<uint16_t> g_sequence{0};

// Waits out the rest of an attempt's second: a receive that timed out has
// already used it, an answer waits for the rest of it.
void FinishAttempt(DWORD started) {
    std::fflush(stdout);
    const DWORD used = ::GetTickCount() - started;
    if (used < 1000) ::Sleep(1000 - used);
}

PingResult PingRaw(const sockaddr_in& to) {
    win::Socket s(::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP));
    if (!s) {
        std::printf("WSASocket() failed: %d\n", ::WSAGetLastError());
        std::fflush(stdout);
        return PingResult::Impossible;
    }
    DWORD timeout = 1000;
    if (::setsockopt(s.Get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout) != 0)
        std::printf("failed to set recv timeout: %d\n", ::WSAGetLastError());
    if (::setsockopt(s.Get(), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout) != 0)
        std::printf("failed to set send timeout: %d\n", ::WSAGetLastError());

    std::vector<uint8_t> buffer(kPingBufferSize, 0);
    const auto identifier = static_cast<uint16_t>(::GetCurrentProcessId() & 0xFFFF);
    bool answered = false;
    int refused = 0;  // attempts that could not even be sent
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD started = ::GetTickCount();
        const auto request = BuildEchoRequest(identifier, ++g_sequence, started);
        const int sent =
            ::sendto(s.Get(), reinterpret_cast<const char*>(request.data()), static_cast<int>(request.size()), 0,
                     reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (sent == SOCKET_ERROR) {
            const int error = ::WSAGetLastError();
            if (error == WSAETIMEDOUT) {
                std::printf("Request timed out.\n");
            } else {
                std::printf("sendto failed: %d\n", error);
                ++refused;
            }
        } else {
            if (sent < static_cast<int>(request.size())) std::printf("Wrote %d bytes\n", sent);
            std::fill(buffer.begin(), buffer.end(), 0);
            sockaddr_in from{};
            int fromLength = sizeof from;
            const int n = ::recvfrom(s.Get(), reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()),
                                     0, reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n == SOCKET_ERROR) {
                const int error = ::WSAGetLastError();
                if (error == WSAETIMEDOUT) {
                    std::printf("Request timed out.\n");
                } else {
                    std::printf("recvfrom failed: %d\n", error);
                }
            } else {
                const char* source = ::inet_ntoa(from.sin_addr);
                const EchoDecode d = DecodeEchoReply(buffer.data(), static_cast<size_t>(n), identifier);
                switch (d.kind) {
                case EchoKind::TooFewBytes:
                    std::printf("Too few bytes from %s\n", source);
                    break;
                case EchoKind::NotEchoReply:
                    std::printf("non-echo type %d recvd\n", d.type);
                    break;
                case EchoKind::OtherProcess:
                    std::printf("someone else''s packet!\n");
                    break;
                case EchoKind::Reply:
                    answered = true;
                    std::printf("%d bytes from %s:", n, source);
                    std::printf(" icmp_seq = %d. ", d.sequence);
                    std::printf(" time: %d ms ", static_cast<int>(::GetTickCount() - d.sendTick));
                    std::printf("\n");
                    break;
                }
            }
        }
        FinishAttempt(started);
    }
    if (answered) return PingResult::Answered;
    // A socket that opens but may not send (a system that checks the rights
    // only then) is as unusable as one that does not open.
    return refused == 4 ? PingResult::Impossible : PingResult::NoAnswer;
}

// IP Helper's echo call. It lives in iphlpapi.dll, on older systems in
// icmp.dll; both are looked up at run time so that the program starts on
// systems that lack one of them.
class EchoApi {
public:
    using CreateFn = HANDLE(WINAPI*)();
    using CloseFn = BOOL(WINAPI*)(HANDLE);
    using SendFn = DWORD(WINAPI*)(HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD);

    EchoApi() {
        for (const char* dll : {"iphlpapi.dll", "icmp.dll"}) {
            HMODULE module = ::LoadLibraryA(dll);
            if (!module) continue;
            create_ = reinterpret_cast<CreateFn>(reinterpret_cast<void*>(::GetProcAddress(module, "IcmpCreateFile")));
            close_ = reinterpret_cast<CloseFn>(reinterpret_cast<void*>(::GetProcAddress(module, "IcmpCloseHandle")));
            send_ = reinterpret_cast<SendFn>(reinterpret_cast<void*>(::GetProcAddress(module, "IcmpSendEcho")));
            if (create_ && close_ && send_) {
                module_ = module;
                return;
            }
            ::FreeLibrary(module);
        }
        create_ = nullptr, close_ = nullptr, send_ = nullptr;
    }
    ~EchoApi() {
        if (handle_ != INVALID_HANDLE_VALUE) close_(handle_);
        if (module_) ::FreeLibrary(module_);
    }
    EchoApi(const EchoApi&) = delete;
    EchoApi& operator=(const EchoApi&) = delete;

    // False with a diagnostic when the call is missing or refuses a handle.
    bool Open() {
        if (!module_) {
            std::printf("IcmpSendEcho is not available\n");
            return false;
        }
        handle_ = create_();
        if (handle_ == INVALID_HANDLE_VALUE) {
            std::printf("IcmpCreateFile failed: %lu\n", static_cast<unsigned long>(::GetLastError()));
            return false;
        }
        return true;
    }
    DWORD Send(IPAddr to, void* data, WORD size, void* reply, DWORD replySize, DWORD timeoutMs) {
        return send_(handle_, to, data, size, nullptr, reply, replySize, timeoutMs);
    }

private:
    HMODULE module_ = nullptr;
    CreateFn create_ = nullptr;
    CloseFn close_ = nullptr;
    SendFn send_ = nullptr;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

PingResult PingEchoApi(const sockaddr_in& to) {
    EchoApi api;
    if (!api.Open()) {
        std::fflush(stdout);
        return PingResult::Impossible;
    }
    // The system writes the header; the data is what the raw socket sends
    // after it (send time and filler), so the echo looks the same on the wire.
    constexpr size_t kHeader = 8;
    uint8_t data[kEchoRequestSize - kHeader];
    // A reply structure, the echoed data, and room for an ICMP error.
    std::vector<uint64_t> reply((sizeof(ICMP_ECHO_REPLY) + sizeof data + 8 + 64) / sizeof(uint64_t) + 1);
    const DWORD replySize = static_cast<DWORD>(reply.size() * sizeof(uint64_t));
    const char* source = ::inet_ntoa(to.sin_addr);
    bool answered = false;
    int refused = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD started = ::GetTickCount();
        const uint16_t sequence = ++g_sequence;
        const auto request = BuildEchoRequest(0, sequence, started);
        std::memcpy(data, request.data() + kHeader, sizeof data);
        std::fill(reply.begin(), reply.end(), 0);
        const DWORD count = api.Send(to.sin_addr.s_addr, data, sizeof data, reply.data(), replySize, 1000);
        const auto* r = reinterpret_cast<const ICMP_ECHO_REPLY*>(reply.data());
        if (count > 0 && r->Status == IP_SUCCESS) {
            answered = true;
            std::printf("%d bytes from %s:", static_cast<int>(r->DataSize + kHeader), source);
            std::printf(" icmp_seq = %d. ", sequence);
            std::printf(" time: %d ms ", static_cast<int>(r->RoundTripTime));
            std::printf("\n");
        } else if (count > 0) {
            // Unreachable and the like: somebody answered, but not the host.
            std::printf("echo status %lu from %s\n", static_cast<unsigned long>(r->Status), source);
        } else {
            const DWORD error = ::GetLastError();
            if (error == IP_REQ_TIMED_OUT) {
                std::printf("Request timed out.\n");
            } else {
                std::printf("IcmpSendEcho failed: %lu\n", static_cast<unsigned long>(error));
                ++refused;
            }
        }
        FinishAttempt(started);
    }
    if (answered) return PingResult::Answered;
    return refused == 4 ? PingResult::Impossible : PingResult::NoAnswer;
}

}  // namespace

PingResult Ping(const char* host, unsigned routes) {
    std::printf("\nPinging %s ....\n\n", host);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    if (const hostent* h = ::gethostbyname(host); h && h->h_addrtype == AF_INET && h->h_addr_list[0]) {
        std::memcpy(&to.sin_addr, h->h_addr_list[0], sizeof to.sin_addr);
    } else {
        to.sin_addr.s_addr = ::inet_addr(host);
        if (to.sin_addr.s_addr == INADDR_NONE) {
            std::printf("Unable to resolve %s\n", host);
            std::fflush(stdout);
            return PingResult::NoAnswer;
        }
    }
    // Without administrator rights the raw socket does not open; the echo
    // call then does the same work. Only when neither can send is the
    // answer "impossible": the caller must not take silence for a free address.
    PingResult result = PingResult::Impossible;
    if (routes & kRawSocket) result = PingRaw(to);
    if (result == PingResult::Impossible && (routes & kEchoApi)) result = PingEchoApi(to);
    if (result == PingResult::Impossible) {
        std::printf("no way to send an echo request\n");
        std::fflush(stdout);
    }
    return result;
}

}  // namespace netutil
