#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "wizard/NetUtil.h"

using namespace netutil;

namespace {

IP_ADAPTER_INFO Adapter(uint8_t lastMacByte, bool dhcp, const char* ip, const char* mask, const char* gateway) {
    IP_ADAPTER_INFO a;
    std::memset(&a, 0, sizeof a);
    a.AddressLength = 6;
    const uint8_t mac[6] = {0x02, 0, 0, 0, 0, lastMacByte};
    std::memcpy(a.Address, mac, 6);
    a.DhcpEnabled = dhcp;
    std::strcpy(a.IpAddressList.IpAddress.String, ip);
    std::strcpy(a.IpAddressList.IpMask.String, mask);
    std::strcpy(a.GatewayList.IpAddress.String, gateway);
    return a;
}

// Hands out a fixed adapter list, a DNS server, and DHCP reports in turn.
class FakeSystem : public AdapterSystem {
public:
    std::vector<IP_ADAPTER_INFO> adapters;
    bool windowsMe = false;
    std::vector<std::optional<std::string>> reports;
    int reportRuns = 0;
    int paramsCalls = 0;
    ULONG firstParamsSize = 0;
    DWORD paramsError = NO_ERROR;

    DWORD NetworkParams(FIXED_INFO* info, ULONG* size) override {
        if (++paramsCalls == 1) firstParamsSize = *size;
        if (paramsError != NO_ERROR) return paramsError;
        if (*size < sizeof(FIXED_INFO) + 100) {  // ask for more, as a system with a long list would
            *size = sizeof(FIXED_INFO) + 100;
            return ERROR_BUFFER_OVERFLOW;
        }
        std::memset(info, 0, sizeof *info);
        std::strcpy(info->DnsServerList.IpAddress.String, "10.77.0.53");
        return NO_ERROR;
    }
    DWORD AdaptersInfo(IP_ADAPTER_INFO* info, ULONG* size) override {
        if (adapters.empty()) return ERROR_NO_DATA;
        const ULONG needed = static_cast<ULONG>(adapters.size() * sizeof(IP_ADAPTER_INFO));
        if (*size < needed) {
            *size = needed;
            return ERROR_BUFFER_OVERFLOW;
        }
        for (size_t i = 0; i < adapters.size(); ++i) {
            info[i] = adapters[i];
            info[i].Next = i + 1 < adapters.size() ? &info[i + 1] : nullptr;
        }
        return NO_ERROR;
    }
    bool IsWindowsMe() override { return windowsMe; }
    std::optional<std::string> DhcpReport() override {
        const size_t i = static_cast<size_t>(reportRuns++);
        return i < reports.size() ? reports[i] : std::nullopt;
    }
};

}  // namespace

TEST(Adapters, TheLastAdapterSuppliesEveryValue) {
    FakeSystem sys;
    sys.adapters = {Adapter(1, false, "192.168.0.10", "255.255.255.0", "192.168.0.1"),
                    Adapter(2, true, "10.1.2.3", "255.0.0.0", "10.0.0.1")};
    PcNetValues v;
    uint8_t autoFlag = 7;
    EXPECT_EQ(2, QueryAdapters(v, &autoFlag, sys));
    EXPECT_EQ(2, v.adapterCount);
    EXPECT_EQ(2, v.mac[5]);
    EXPECT_TRUE(v.dhcp);
    EXPECT_EQ(1, autoFlag);
    EXPECT_EQ("10.1.2.3", v.ip);
    EXPECT_EQ("255.0.0.0", v.mask);
    EXPECT_EQ("10.0.0.1", v.gateway);
    EXPECT_EQ("10.77.0.53", v.dns);
    // The small first buffer is answered with the size the system asks for.
    EXPECT_EQ(584u, sys.firstParamsSize);
    EXPECT_EQ(2, sys.paramsCalls);
}

TEST(Adapters, ManyAdaptersAndQueryFailures) {
    FakeSystem sys;
    for (uint8_t i = 1; i <= 20; ++i) sys.adapters.push_back(Adapter(i, false, "10.0.0.1", "255.0.0.0", ""));
    sys.adapters.back() = Adapter(20, false, "10.0.0.20", "255.255.0.0", "10.0.0.254");
    sys.paramsError = ERROR_NOT_SUPPORTED;
    PcNetValues v;
    v.dns = "kept";
    EXPECT_EQ(20, QueryAdapters(v, nullptr, sys));
    EXPECT_EQ(20, v.mac[5]);
    EXPECT_EQ("10.0.0.20", v.ip);
    EXPECT_EQ("kept", v.dns);  // the query goes on without it
    EXPECT_EQ("GetNetworkParams call failed with 50", v.diagnostic);

    FakeSystem none;
    PcNetValues w;
    EXPECT_EQ(0, QueryAdapters(w, nullptr, none));
}

TEST(Adapters, WindowsMeReportReplacesTheFlag) {
    FakeSystem sys;
    sys.windowsMe = true;
    sys.adapters = {Adapter(1, false, "192.168.0.10", "255.255.255.0", "192.168.0.1")};
    sys.reports = {std::string("IP Configuration\r\n  DHCP Enabled. . . : Yes\r\n  Node type: none\r\n")};
    PcNetValues v;
    uint8_t autoFlag = 0;
    QueryAdapters(v, &autoFlag, sys);
    EXPECT_TRUE(v.dhcp);
    EXPECT_EQ(1, autoFlag);
    EXPECT_EQ(1, sys.reportRuns);

    // No report file: the adapter's own flag stays.
    FakeSystem missing;
    missing.windowsMe = true;
    missing.adapters = {Adapter(1, true, "192.168.0.10", "255.255.255.0", "192.168.0.1")};
    PcNetValues w;
    QueryAdapters(w, nullptr, missing);
    EXPECT_TRUE(w.dhcp);
    EXPECT_EQ(1, missing.reportRuns);

    // Not Windows Me: the batch file is never run.
    FakeSystem other;
    other.adapters = {Adapter(1, true, "1.2.3.4", "255.0.0.0", "")};
    PcNetValues x;
    QueryAdapters(x, nullptr, other);
    EXPECT_EQ(0, other.reportRuns);
    EXPECT_TRUE(IsWindowsMeVersion(4, 90));
    EXPECT_FALSE(IsWindowsMeVersion(4, 10));
    EXPECT_FALSE(IsWindowsMeVersion(5, 90));
}

TEST(Adapters, ReportRules) {
    struct Case {
        const char* report;
        bool dhcp;
    } cases[] = {
        {"DHCP Enabled: Yes", true},
        {"dhcp enabled: no", false},
        {"Dhcp: No, yes", false},                        // "no" first
        {"DHCP Enabled . . : YES\nNode", true},          // "no" of "Node" comes after "yes"
        {"Host Name: nobody\nDHCP Enabled: Yes", true},  // a "no" before the first "dhcp" does not count
        {"yes\nDHCP Enabled:", false},                   // "yes" only before "dhcp"
        {"DHCP", false},
        {"Enabled: Yes", false},  // no "dhcp" at all
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.dhcp, ReportSaysDhcp(c.report)) << c.report;
}

TEST(Adapters, ReportFileIsReadUpToItsLimitAndDeleted) {
    char dir[MAX_PATH], path[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(sizeof dir, dir));
    ASSERT_NE(0u, GetTempFileNameA(dir, "dh", 0, path));
    FILE* f = std::fopen(path, "wb");
    ASSERT_TRUE(f);
    const std::string body(6000, 'a');
    std::fwrite(body.data(), 1, body.size(), f);
    std::fclose(f);
    const auto text = ReadReportFile(path);
    ASSERT_TRUE(text);
    EXPECT_EQ(5000u, text->size());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path));
    EXPECT_FALSE(ReadReportFile(path));
}

TEST(Echo, RequestLayoutAndChecksum) {
    const auto r = BuildEchoRequest(0x1234, 0x0102, 0xA1B2C3D4);
    EXPECT_EQ(8, r[0]);
    EXPECT_EQ(0, r[1]);
    EXPECT_EQ(0x34, r[4]);
    EXPECT_EQ(0x12, r[5]);
    EXPECT_EQ(0x02, r[6]);
    EXPECT_EQ(0x01, r[7]);
    EXPECT_EQ((std::vector<uint8_t>{0xD4, 0xC3, 0xB2, 0xA1}), std::vector<uint8_t>(r.begin() + 8, r.begin() + 12));
    for (size_t i = 12; i < 44; ++i) EXPECT_EQ(0x16, r[i]);
    // A correct checksum makes the sum over the whole message come out as zero.
    EXPECT_EQ(0, InternetChecksum(r.data(), r.size()));
    // RFC 1071's worked example: words 0001 f203 f4f5 f6f7 sum to ddf2, checksum 220d.
    const uint8_t example[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    const uint16_t sum = InternetChecksum(example, sizeof example);
    EXPECT_EQ(0x22, sum & 0xFF);  // stored in the order it was summed in
    EXPECT_EQ(0x0d, sum >> 8);
    const uint8_t odd[] = {0xFF};
    EXPECT_EQ(static_cast<uint16_t>(~0x00FFu), InternetChecksum(odd, 1));
}

TEST(Echo, ReplyDecoding) {
    // IPv4 header of 20 bytes, then the echo reply.
    std::vector<uint8_t> reply(20 + 44, 0);
    reply[0] = 0x45;
    auto echo = BuildEchoRequest(0x4321, 9, 1000);
    echo[0] = 0;
    std::memcpy(&reply[20], echo.data(), echo.size());

    auto d = DecodeEchoReply(reply.data(), reply.size(), 0x4321);
    EXPECT_EQ(EchoKind::Reply, d.kind);
    EXPECT_EQ(9, d.sequence);
    EXPECT_EQ(1000u, d.sendTick);

    EXPECT_EQ(EchoKind::OtherProcess, DecodeEchoReply(reply.data(), reply.size(), 0x4322).kind);

    reply[20] = 3;  // destination unreachable
    d = DecodeEchoReply(reply.data(), reply.size(), 0x4321);
    EXPECT_EQ(EchoKind::NotEchoReply, d.kind);
    EXPECT_EQ(3, d.type);
    reply[20] = 0;

    // Header length comes from the first byte: with options (24 bytes) the
    // reply starts later.
    std::vector<uint8_t> withOptions(24 + 44, 0);
    withOptions[0] = 0x46;
    std::memcpy(&withOptions[24], echo.data(), echo.size());
    EXPECT_EQ(EchoKind::Reply, DecodeEchoReply(withOptions.data(), withOptions.size(), 0x4321).kind);
    EXPECT_EQ(EchoKind::TooFewBytes, DecodeEchoReply(withOptions.data(), 31, 0x4321).kind);
    EXPECT_EQ(EchoKind::Reply, DecodeEchoReply(withOptions.data(), 32, 0x4321).kind);
    EXPECT_EQ(0u, DecodeEchoReply(withOptions.data(), 32, 0x4321).sendTick);  // cut off: reads zero
    EXPECT_EQ(EchoKind::TooFewBytes, DecodeEchoReply(reply.data(), 0, 0x4321).kind);
}
