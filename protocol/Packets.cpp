#include "protocol/Packets.h"

#include <cstdio>
#include <cstring>

namespace mgmt {

namespace {

void PutInt32(uint8_t* p, int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

void PutHeader(uint8_t* p, const Mac& server, const Mac& pc, int32_t transaction, int32_t code) {
    std::memcpy(p + off::kDestMac, server.data(), server.size());
    p[off::kDirection] = 0x00;
    p[off::kClass] = 0x02;
    p[off::kComplement] = 0xFF;
    p[off::kComplement + 1] = 0xFD;
    std::memcpy(p + off::kSourceMac, pc.data(), pc.size());
    p[16] = p[17] = 0;
    PutInt32(p + off::kTransaction, transaction);
    PutInt32(p + off::kCode, code);
}

}  // namespace

ServerConfig DefaultServerConfig() {
    ServerConfig c;
    std::memset(&c, 0, sizeof c);
    SetConfigText(c.password, kDefaultPassword);
    SetConfigText(c.name, kDefaultServerName);
    c.btService = c.itunesService = c.mediaServer = 1;
    c.timeSync = 1;
    c.daylightSaving = 0;
    c.dstStartMonth = c.dstStartDay = c.dstEndMonth = c.dstEndDay = 1;
    c.printServer = kPrintServerSetting;
    c.timeZone = kDefaultTimeZone;
    return c;
}

void SetConfigText(char (&field)[40], const std::string& text) {
    std::memset(field, 0, sizeof field);
    std::memcpy(field, text.data(), text.size() < sizeof field - 1 ? text.size() : sizeof field - 1);
}

std::array<uint8_t, kConfigSize> ToBytes(const ServerConfig& config) {
    std::array<uint8_t, kConfigSize> bytes;
    std::memcpy(bytes.data(), &config, kConfigSize);
    return bytes;
}

std::array<uint8_t, kProbeSize> BuildDiscoveryProbe() {
    return {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x04, 0xFF, 0xFB};
}

std::array<uint8_t, kHeaderSize> BuildCommand(const Mac& server, const Mac& pc, int32_t transaction, int32_t code) {
    std::array<uint8_t, kHeaderSize> bytes{};
    PutHeader(bytes.data(), server, pc, transaction, code);
    return bytes;
}

std::array<uint8_t, kConfigCommandSize> BuildConfigurationCommand(const Mac& server, const Mac& pc, int32_t transaction,
                                                                  const ServerConfig& config) {
    std::array<uint8_t, kConfigCommandSize> bytes{};
    PutHeader(bytes.data(), server, pc, transaction, kConfigure);
    std::memcpy(bytes.data() + kHeaderSize, &config, kConfigSize);
    return bytes;
}

int32_t Datagram::Int32(size_t offset) const {
    uint32_t u = 0;
    for (size_t i = 0; i < 4; ++i) u |= static_cast<uint32_t>(Byte(offset + i)) << (8 * i);
    return static_cast<int32_t>(u);
}

Mac Datagram::MacAt(size_t offset) const {
    Mac mac;
    for (size_t i = 0; i < mac.size(); ++i) mac[i] = Byte(offset + i);
    return mac;
}

Ipv4 Datagram::Ipv4At(size_t offset) const {
    Ipv4 a;
    for (size_t i = 0; i < a.size(); ++i) a[i] = Byte(offset + i);
    return a;
}

std::string Datagram::Text(size_t offset, size_t size) const {
    std::string text;
    for (size_t i = 0; i < size && offset + i < length_; ++i) {
        const uint8_t c = data_[offset + i];
        if (c == 0) break;
        text.push_back(static_cast<char>(c));
    }
    return text;
}

bool IsDiscoveryReply(const Datagram& d) {
    return d.Byte(off::kDirection) == 0x01 && d.Byte(off::kClass) == 0x04 && d.Byte(off::kMustBeZero) == 0x00 &&
           d.Byte(off::kMustBeSeven) == 0x07;
}

Mac DiscoveryReply::mac() const {
    Mac m;
    std::memcpy(m.data(), head.data(), m.size());
    return m;
}

std::optional<DiscoveryReply> ParseDiscoveryReply(const Datagram& d) {
    if (!IsDiscoveryReply(d)) return std::nullopt;
    DiscoveryReply r;
    for (size_t i = 0; i < r.head.size(); ++i) r.head[i] = d.Byte(i);
    const std::string name = d.Text(off::kName, kNameSize);
    std::memcpy(r.name, name.data(), name.size());  // at most 32 of the 33 zeroed bytes
    r.address = d.Ipv4At(off::kAddress);
    r.status = d.Byte(off::kStatus);
    return r;
}

std::optional<stserver> ParseQuarrowDiscoveryReply(const Datagram& d) {
    if (!IsDiscoveryReply(d)) return std::nullopt;
    return stserver{d.Text(off::kName, kNameSize), d.Ipv4At(off::kAddress)};
}

std::optional<ReplyFrame> ParseReplyFrame(const Datagram& d) {
    if (d.Byte(off::kDirection) != 0x01) return std::nullopt;
    ReplyFrame f;
    f.server = d.MacAt(off::kDestMac);
    f.pc = d.MacAt(off::kSourceMac);
    f.code = d.Int32(off::kCode);
    f.subCode = d.Int32(off::kSubCode);
    return f;
}

StateReplyData ParseStateReply(const Datagram& d) {
    StateReplyData s;
    s.raidFound = d.Byte(off::kRaidFound);
    s.disk1Present = d.Byte(off::kDisk1Present);
    s.disk1Ready = d.Byte(off::kDisk1Ready);
    s.disk2Present = d.Byte(off::kDisk2Present);
    s.disk2Ready = d.Byte(off::kDisk2Ready);
    s.password = d.Text(off::kPassword, kStatePasswordSize);
    s.addressFlag = d.Byte(off::kAddressFlag);
    s.address = d.Ipv4At(off::kServerAddress);
    return s;
}

InfoReplyData ParseInfoReply(const Datagram& d) {
    return {d.Text(off::kInfoText1, kInfoTextSize), d.Text(off::kInfoText2, kInfoTextSize)};
}

StateEvent ClassifyStateDatagram(const Datagram& d, const Mac& pc, const Mac& server) {
    const auto f = ParseReplyFrame(d);
    if (!f) return StateEvent::Ignore;
    switch (f->code) {
    case kStateReply:
        return f->pc == pc ? StateEvent::State : StateEvent::Ignore;
    case kInfoReply:
        // The server's own MAC identifies the info reply, whatever stands at 10.
        return f->server == server ? StateEvent::Info : StateEvent::Ignore;
    case kProgressReply:
        return f->pc == pc ? StateEvent::Busy : StateEvent::Ignore;
    default:
        return StateEvent::Ignore;
    }
}

ConfigEvent ClassifyConfigDatagram(const Datagram& d, const Mac& pc) {
    const auto f = ParseReplyFrame(d);
    if (!f || f->pc != pc) return ConfigEvent::Ignore;
    switch (f->code) {
    case kProgressReply:
        return OperationKey(f->subCode) ? ConfigEvent::Progress : ConfigEvent::Ignore;
    case kBoardBusyReply:
        return ConfigEvent::BoardBusy;
    case kFailureReply:
        return ConfigEvent::Failure;
    case kRestartReply:
        return ConfigEvent::Restart;
    default:
        return ConfigEvent::Ignore;
    }
}

const char* OperationKey(int32_t subCode) {
    static const char* const keys[] = {
        "time_set",   "disable_RAID", "portiation_format", "create_catalogue", "create_share",   "BT_set",
        "iTunes_set", "media_set",    "change_name",       "change_pwd",       "change_network", "print_set",
    };
    if (subCode < 1 || subCode > 12) return nullptr;
    return keys[subCode - 1];
}

std::string FormatMac(const Mac& mac) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

std::string FormatIpv4(const Ipv4& a) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return text;
}

}  // namespace mgmt
