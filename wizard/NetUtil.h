// The wizard's view of the PC's own network: the adapter query that supplies
// the PC's MAC address, DHCP state and address values, and the ICMP echo used
// to find an address nobody answers on.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace netutil {

struct PcNetValues {
    std::array<uint8_t, 6> mac{};
    bool dhcp = false;
    std::string ip, mask, gateway, dns;  // dotted decimal
    int adapterCount = 0;
    std::string diagnostic;  // last failure of the query, for a debugger's eyes only
};

// The system services the adapter query reads. The real one talks to IP Helper
// and the version API; tests hand in adapter lists and reports of their own.
class AdapterSystem {
public:
    virtual ~AdapterSystem() = default;
    virtual DWORD NetworkParams(FIXED_INFO* info, ULONG* size);
    virtual DWORD AdaptersInfo(IP_ADAPTER_INFO* info, ULONG* size);
    virtual bool IsWindowsMe();
    // Runs "dhcp.bat" hidden, gives it 3 seconds, then reads and deletes
    // "c:\dhcp.txt"; nullopt when the report cannot be opened.
    virtual std::optional<std::string> DhcpReport();
};

// Refreshes `values` and returns the number of adapters. The adapters are
// walked in order and the last one ends up supplying every value. When
// `autoAddressFlag` is given (the configuration record's byte), it is set equal
// to the DHCP flag.
int QueryAdapters(PcNetValues& values, uint8_t* autoAddressFlag = nullptr);
int QueryAdapters(PcNetValues& values, uint8_t* autoAddressFlag, AdapterSystem& system);

bool IsWindowsMeVersion(DWORD major, DWORD minor);
// The adapter report says DHCP when, after its first "dhcp" (any case), a "yes"
// comes before any "no".
bool ReportSaysDhcp(std::string_view report);
// Up to `maxBytes` of a report file, which is deleted afterwards; nullopt when
// it cannot be opened.
std::optional<std::string> ReadReportFile(const char* path, size_t maxBytes = 5000);

// --- ICMP echo ----------------------------------------------------------------

constexpr size_t kEchoRequestSize = 44;
constexpr size_t kPingBufferSize = 1024;

// RFC 1071 over the bytes as they lie; the result is stored at offset 2 in the
// same (little-endian) order in which the 16-bit words were summed.
uint16_t InternetChecksum(const uint8_t* data, size_t size);
std::array<uint8_t, kEchoRequestSize> BuildEchoRequest(uint16_t identifier, uint16_t sequence, uint32_t sendTick);

enum class EchoKind { Reply, TooFewBytes, NotEchoReply, OtherProcess };
struct EchoDecode {
    EchoKind kind = EchoKind::TooFewBytes;
    int type = 0;
    uint16_t sequence = 0;
    uint32_t sendTick = 0;
};
// `data` is an IPv4 datagram as a raw socket delivers it, header included.
EchoDecode DecodeEchoReply(const uint8_t* data, size_t length, uint16_t identifier);

// The ways an echo can be sent. A raw ICMP socket needs administrator rights
// on current Windows; IP Helper's echo call (IcmpSendEcho) needs none.
enum PingRoute : unsigned {
    kRawSocket = 1,
    kEchoApi = 2,
    kAnyRoute = kRawSocket | kEchoApi,
};

enum class PingResult {
    Answered,    // at least one echo reply to this process's requests
    NoAnswer,    // every attempt timed out, or only foreign replies came
    Impossible,  // no allowed route can send an echo from this PC at all
};

// Four echo requests one second apart, through the raw socket where it can be
// opened and otherwise through the echo call; `routes` narrows the choice.
// A host that cannot be resolved counts as not answering. Diagnostics go to
// standard output.
PingResult Ping(const char* host, unsigned routes = kAnyRoute);

}  // namespace netutil
