// Datagrams of the UDP management protocol: layouts, builders and the tests a
// received datagram must pass. Everything here is plain functions over bytes,
// free of sockets, so that the wire forms can be checked with tables.
#pragma once
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace mgmt {

constexpr uint16_t kPort = 13365;
constexpr size_t kProbeSize = 10;
constexpr size_t kHeaderSize = 26;
constexpr size_t kConfigSize = 136;
constexpr size_t kConfigCommandSize = kHeaderSize + kConfigSize;
// Every listener receives into a zeroed buffer of this size.
constexpr size_t kReceiveBufferSize = 1024;

using Mac = std::array<uint8_t, 6>;
using Ipv4 = std::array<uint8_t, 4>;

enum CommandCode : int32_t { kStateQuery = 1, kConfigure = 2, kInfoQuery = 3 };
enum ReplyCode : int32_t {
    kBoardBusyReply = 0,
    kStateReply = 1,
    kRestartReply = 18,
    kFailureReply = 19,
    kProgressReply = 20,
    kInfoReply = 21,
};

// Byte offsets inside the datagrams.
namespace off {
constexpr size_t kDestMac = 0, kDirection = 6, kClass = 7, kComplement = 8;
constexpr size_t kSourceMac = 10, kTransaction = 18, kCode = 22, kSubCode = 26;
// discovery reply
constexpr size_t kName = 10, kAddress = 42, kMustBeZero = 66, kMustBeSeven = 68, kStatus = 70;
// state reply
constexpr size_t kRaidFound = 26, kDisk1Present = 28, kDisk1Ready = 29, kDisk2Present = 30, kDisk2Ready = 31,
                 kPassword = 36, kAddressFlag = 116, kServerAddress = 117;
// info reply
constexpr size_t kInfoText1 = 52, kInfoText2 = 102;
}  // namespace off

constexpr size_t kNameSize = 32;
constexpr size_t kStatePasswordSize = 30;
// The info texts are not interpreted; each is read up to the next field.
constexpr size_t kInfoTextSize = 50;

// The record is copied byte for byte onto the wire, which is little-endian.
static_assert(std::endian::native == std::endian::little);

#pragma pack(push, 1)
struct ServerConfig {
    uint8_t raidFound;
    uint8_t disk1Present;
    uint8_t disk1Ready;
    uint8_t disk2Present;
    uint8_t disk2Ready;
    char password[40];
    char name[40];
    uint8_t autoAddress;
    uint8_t address[4];
    uint8_t mask[4];
    uint8_t gateway[4];
    uint8_t dns[4];
    uint8_t reserved1[8];
    uint8_t btService;
    uint8_t itunesService;
    uint8_t mediaServer;
    uint8_t timeSync;
    uint8_t daylightSaving;
    uint8_t dstStartMonth;
    uint8_t dstStartDay;
    uint8_t dstEndMonth;
    uint8_t dstEndDay;
    uint8_t printServer;
    uint8_t reserved2[4];
    int32_t timeZone;
    int64_t pcClock;
};
#pragma pack(pop)

static_assert(sizeof(ServerConfig) == kConfigSize);
static_assert(offsetof(ServerConfig, password) == 5);
static_assert(offsetof(ServerConfig, name) == 45);
static_assert(offsetof(ServerConfig, autoAddress) == 85);
static_assert(offsetof(ServerConfig, address) == 86);
static_assert(offsetof(ServerConfig, mask) == 90);
static_assert(offsetof(ServerConfig, gateway) == 94);
static_assert(offsetof(ServerConfig, dns) == 98);
static_assert(offsetof(ServerConfig, reserved1) == 102);
static_assert(offsetof(ServerConfig, btService) == 110);
static_assert(offsetof(ServerConfig, timeSync) == 113);
static_assert(offsetof(ServerConfig, daylightSaving) == 114);
static_assert(offsetof(ServerConfig, dstEndDay) == 118);
static_assert(offsetof(ServerConfig, printServer) == 119);
static_assert(offsetof(ServerConfig, reserved2) == 120);
static_assert(offsetof(ServerConfig, timeZone) == 124);
static_assert(offsetof(ServerConfig, pcClock) == 128);

constexpr const char* kDefaultPassword = "7315";
constexpr const char* kDefaultServerName = "STORAGE_SERVER";
constexpr int32_t kDefaultTimeZone = 51;
constexpr uint8_t kPrintServerSetting = 2;

// A record with every default a rescan restores; the disk bytes are zero until
// a state reply fills them.
ServerConfig DefaultServerConfig();
// Stores a text NUL-terminated inside a 40-byte field, cut to 39 bytes; the
// rest of the field is zeroed.
void SetConfigText(char (&field)[40], const std::string& text);
std::array<uint8_t, kConfigSize> ToBytes(const ServerConfig& config);

std::array<uint8_t, kProbeSize> BuildDiscoveryProbe();
std::array<uint8_t, kHeaderSize> BuildCommand(const Mac& server, const Mac& pc, int32_t transaction, int32_t code);
std::array<uint8_t, kConfigCommandSize> BuildConfigurationCommand(const Mac& server, const Mac& pc, int32_t transaction,
                                                                  const ServerConfig& config);

// A received datagram. Reads past the received length yield zero, exactly as
// if the datagram had been received into the zeroed 1024-byte buffer, and a
// datagram is never taken to be longer than that buffer.
class Datagram {
public:
    Datagram(const uint8_t* data, size_t length)
        : data_(data), length_(length < kReceiveBufferSize ? length : kReceiveBufferSize) {}
    size_t Length() const { return length_; }
    uint8_t Byte(size_t offset) const { return offset < length_ ? data_[offset] : 0; }
    int32_t Int32(size_t offset) const;
    Mac MacAt(size_t offset) const;
    Ipv4 Ipv4At(size_t offset) const;
    // A text field of at most `size` bytes, cut at its first NUL; a field that
    // fills its size has no terminator and is taken whole.
    std::string Text(size_t offset, size_t size) const;

private:
    const uint8_t* data_;
    size_t length_;
};

bool IsDiscoveryReply(const Datagram& d);

// What the wizard keeps of a discovery reply.
struct DiscoveryReply {
    std::array<uint8_t, kProbeSize> head{};  // MAC, direction, class, bytes 8..9
    char name[kNameSize + 1]{};              // always terminated
    Ipv4 address{};
    uint8_t status = 0;
    Mac mac() const;
};
std::optional<DiscoveryReply> ParseDiscoveryReply(const Datagram& d);

// What the main program keeps of a discovery reply: name and address only.
struct stserver {
    std::string name;
    Ipv4 address{};
};
std::optional<stserver> ParseQuarrowDiscoveryReply(const Datagram& d);

// The frame shared by every reply to a command; only looked at when byte 6 is 0x01.
struct ReplyFrame {
    Mac server{};
    Mac pc{};
    int32_t code = 0;
    int32_t subCode = 0;
};
std::optional<ReplyFrame> ParseReplyFrame(const Datagram& d);

struct StateReplyData {
    uint8_t raidFound = 0;
    uint8_t disk1Present = 0, disk1Ready = 0, disk2Present = 0, disk2Ready = 0;
    std::string password;
    uint8_t addressFlag = 0;
    Ipv4 address{};
};
StateReplyData ParseStateReply(const Datagram& d);

struct InfoReplyData {
    std::string text1, text2;
};
InfoReplyData ParseInfoReply(const Datagram& d);

// What the state and configuration listeners make of one datagram.
enum class StateEvent { Ignore, State, Info, Busy };
StateEvent ClassifyStateDatagram(const Datagram& d, const Mac& pc, const Mac& server);
enum class ConfigEvent { Ignore, Progress, BoardBusy, Failure, Restart };
ConfigEvent ClassifyConfigDatagram(const Datagram& d, const Mac& pc);

// The message key that names a configuration step, or nullptr for a sub-code
// the wizard does not know (such reports leave the display unchanged).
const char* OperationKey(int32_t subCode);

std::string FormatMac(const Mac& mac);
std::string FormatIpv4(const Ipv4& address);

}  // namespace mgmt
