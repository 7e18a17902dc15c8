#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "protocol/Packets.h"

using namespace mgmt;

namespace {

const Mac kServer{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
const Mac kPc{0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE};
const Mac kOtherPc{0x02, 0x99, 0x99, 0x99, 0x99, 0x99};

std::vector<uint8_t> DiscoveryReplyBytes(const std::string& name, size_t length = 80) {
    std::vector<uint8_t> d(length, 0);
    std::memcpy(d.data(), kServer.data(), 6);
    d[6] = 0x01;
    d[7] = 0x04;
    d[8] = 0xAB;
    d[9] = 0xCD;
    std::memcpy(d.data() + 10, name.data(), std::min<size_t>(name.size(), 32));
    d[42] = 10, d[43] = 77, d[44] = 0, d[45] = 21;
    d[68] = 0x07;
    d[70] = 2;
    return d;
}

std::vector<uint8_t> Reply(const Mac& server, const Mac& pc, int32_t code, int32_t sub = 0, size_t length = 140) {
    std::vector<uint8_t> d(length, 0);
    std::memcpy(d.data(), server.data(), 6);
    d[6] = 0x01;
    std::memcpy(d.data() + 10, pc.data(), 6);
    std::memcpy(d.data() + 22, &code, 4);
    std::memcpy(d.data() + 26, &sub, 4);
    return d;
}

Datagram View(const std::vector<uint8_t>& d) { return Datagram(d.data(), d.size()); }

}  // namespace

TEST(Outgoing, ProbeIsTheTenFixedBytes) {
    const auto p = BuildDiscoveryProbe();
    const std::vector<uint8_t> expected{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x04, 0xFF, 0xFB};
    EXPECT_EQ(expected, std::vector<uint8_t>(p.begin(), p.end()));
}

TEST(Outgoing, CommandHeaderCarriesBothMacsTransactionAndCode) {
    const auto c = BuildCommand(kServer, kPc, 0x1234, kInfoQuery);
    const std::vector<uint8_t> expected{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x00, 0x02, 0xFF, 0xFD, 0x02, 0xAA, 0xBB,
                                        0xCC, 0xDD, 0xEE, 0x00, 0x00, 0x34, 0x12, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00};
    EXPECT_EQ(expected, std::vector<uint8_t>(c.begin(), c.end()));
}

TEST(Outgoing, DefaultConfigurationBytes) {
    const auto b = ToBytes(DefaultServerConfig());
    std::vector<uint8_t> expected(kConfigSize, 0);
    std::memcpy(&expected[5], "7315", 4);
    std::memcpy(&expected[45], "STORAGE_SERVER", 14);
    expected[110] = expected[111] = expected[112] = expected[113] = 1;
    expected[115] = expected[116] = expected[117] = expected[118] = 1;
    expected[119] = 2;
    expected[124] = 51;
    EXPECT_EQ(expected, std::vector<uint8_t>(b.begin(), b.end()));
}

TEST(Outgoing, FilledConfigurationCommand) {
    ServerConfig c = DefaultServerConfig();
    c.raidFound = 1;
    c.disk1Present = 1;
    c.disk1Ready = 0;
    c.disk2Present = 1;
    c.disk2Ready = 1;
    SetConfigText(c.password, "secret");
    SetConfigText(c.name, std::string(45, 'N'));  // cut so that the NUL stays inside the field
    c.autoAddress = 0;
    const uint8_t ip[4] = {192, 168, 0, 253}, mask[4] = {255, 255, 255, 0}, gw[4] = {192, 168, 0, 1},
                  dns[4] = {8, 8, 4, 4};
    std::memcpy(c.address, ip, 4), std::memcpy(c.mask, mask, 4), std::memcpy(c.gateway, gw, 4);
    std::memcpy(c.dns, dns, 4);
    c.itunesService = 0;
    c.daylightSaving = 1;
    c.dstStartMonth = 3, c.dstStartDay = 31, c.dstEndMonth = 10, c.dstEndDay = 27;
    c.timeZone = 0x01020304;
    c.pcClock = 0x0000000065A1B2C3LL;

    const auto cmd = BuildConfigurationCommand(kServer, kPc, 7, c);
    ASSERT_EQ(162u, cmd.size());
    EXPECT_EQ(2, cmd[22]);
    const uint8_t* r = cmd.data() + 26;
    EXPECT_EQ(1, r[0]);
    EXPECT_EQ(1, r[1]);
    EXPECT_EQ(0, r[2]);
    EXPECT_EQ(1, r[3]);
    EXPECT_EQ(1, r[4]);
    EXPECT_STREQ("secret", reinterpret_cast<const char*>(r + 5));
    EXPECT_EQ(std::string(39, 'N'), std::string(reinterpret_cast<const char*>(r + 45)));
    EXPECT_EQ(0, r[84]);
    EXPECT_EQ(0, r[85]);
    EXPECT_EQ(0, std::memcmp(r + 86, ip, 4));
    EXPECT_EQ(0, std::memcmp(r + 90, mask, 4));
    EXPECT_EQ(0, std::memcmp(r + 94, gw, 4));
    EXPECT_EQ(0, std::memcmp(r + 98, dns, 4));
    for (int i = 102; i < 110; ++i) EXPECT_EQ(0, r[i]) << i;
    EXPECT_EQ((std::vector<uint8_t>{1, 0, 1, 1, 1, 3, 31, 10, 27, 2, 0, 0, 0, 0, 4, 3, 2, 1}),
              std::vector<uint8_t>(r + 110, r + 128));
    EXPECT_EQ((std::vector<uint8_t>{0xC3, 0xB2, 0xA1, 0x65, 0, 0, 0, 0}), std::vector<uint8_t>(r + 128, r + 136));
}

TEST(DiscoveryReply, TheFourMarkerBytesDecide) {
    EXPECT_TRUE(IsDiscoveryReply(View(DiscoveryReplyBytes("NAS"))));
    struct Case {
        size_t offset;
        uint8_t value;
    } cases[] = {{6, 0x00}, {7, 0x02}, {66, 0x01}, {68, 0x06}, {68, 0x00}};
    for (const auto& c : cases) {
        auto d = DiscoveryReplyBytes("NAS");
        d[c.offset] = c.value;
        EXPECT_FALSE(IsDiscoveryReply(View(d))) << c.offset;
        EXPECT_FALSE(ParseDiscoveryReply(View(d)));
        EXPECT_FALSE(ParseQuarrowDiscoveryReply(View(d)));
    }
    // Our own probe reaches the listener too.
    const auto probe = BuildDiscoveryProbe();
    EXPECT_FALSE(IsDiscoveryReply(Datagram(probe.data(), probe.size())));
}

TEST(DiscoveryReply, ShortDatagramReadsZerosPastItsEnd) {
    // Byte 68 lies beyond a 68-byte datagram even if the sender's buffer had 7 there.
    const auto full = DiscoveryReplyBytes("NAS", 200);
    EXPECT_FALSE(IsDiscoveryReply(Datagram(full.data(), 68)));
    // 69 bytes carry the markers; the status byte then reads as zero.
    const auto r = ParseDiscoveryReply(Datagram(full.data(), 69));
    ASSERT_TRUE(r);
    EXPECT_EQ(0, r->status);
    // A name cut by the datagram's end stops there.
    auto d = DiscoveryReplyBytes(std::string(32, 'x'), 200);
    EXPECT_EQ(std::string(5, 'x'), Datagram(d.data(), 15).Text(10, 32));
}

TEST(DiscoveryReply, FieldsAndAFullLengthName) {
    const std::string name32 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345";
    auto d = DiscoveryReplyBytes(name32);
    d[42 + 4] = 'Z';  // the byte after the name field is not part of it
    const auto r = ParseDiscoveryReply(View(d));
    ASSERT_TRUE(r);
    EXPECT_EQ(name32, std::string(r->name));
    EXPECT_EQ('\0', r->name[32]);
    EXPECT_EQ(kServer, r->mac());
    EXPECT_EQ(0xAB, r->head[8]);
    EXPECT_EQ(0xCD, r->head[9]);
    EXPECT_EQ((Ipv4{10, 77, 0, 21}), r->address);
    EXPECT_EQ(2, r->status);

    const auto q = ParseQuarrowDiscoveryReply(View(d));
    ASSERT_TRUE(q);
    EXPECT_EQ(name32, q->name);
    EXPECT_EQ((Ipv4{10, 77, 0, 21}), q->address);

    // Bytes after a NUL inside the field are not part of the name; high bytes pass unchanged.
    auto e = DiscoveryReplyBytes(std::string("N\xE4S\0junk", 8));
    EXPECT_EQ("N\xE4S", std::string(ParseDiscoveryReply(View(e))->name));
}

TEST(DiscoveryReply, OversizedDatagramIsCutToTheBuffer) {
    std::vector<uint8_t> big(4000, 0xFF);
    Datagram d(big.data(), big.size());
    EXPECT_EQ(kReceiveBufferSize, d.Length());
    EXPECT_EQ(0, d.Byte(kReceiveBufferSize));
}

TEST(StateListener, DecidesByCodeAndTheRightMac) {
    struct Case {
        std::vector<uint8_t> bytes;
        StateEvent expected;
        const char* what;
    } cases[] = {
        {Reply(kServer, kPc, kStateReply), StateEvent::State, "state reply for us"},
        {Reply(kServer, kOtherPc, kStateReply), StateEvent::Ignore, "state reply for another PC"},
        {Reply(kServer, kOtherPc, kInfoReply), StateEvent::Info, "info reply matched on the server"},
        {Reply(kOtherPc, kPc, kInfoReply), StateEvent::Ignore, "info reply of another server"},
        {Reply(kServer, kPc, kProgressReply, 5), StateEvent::Busy, "busy"},
        {Reply(kServer, kOtherPc, kProgressReply), StateEvent::Ignore, "busy for another PC"},
        {Reply(kServer, kPc, kRestartReply), StateEvent::Ignore, "restart is not a state answer"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, ClassifyStateDatagram(View(c.bytes), kPc, kServer)) << c.what;

    auto ours = Reply(kServer, kPc, kStateReply);
    ours[6] = 0x00;  // a command of another PC, not a reply
    EXPECT_EQ(StateEvent::Ignore, ClassifyStateDatagram(View(ours), kPc, kServer));
    // A 20-byte datagram has no code: reads as zero, which is no state answer.
    const auto shortOne = Reply(kServer, kPc, kStateReply, 0, 20);
    EXPECT_EQ(StateEvent::Ignore, ClassifyStateDatagram(View(shortOne), kPc, kServer));
}

TEST(StateListener, StateAndInfoPayloads) {
    auto d = Reply(kServer, kPc, kStateReply);
    d[26] = 1, d[27] = 9, d[28] = 1, d[29] = 0, d[30] = 1, d[31] = 1;
    std::memset(&d[36], 'p', 30);  // a password filling its 30 bytes
    d[66] = 'X';
    d[116] = 3;
    d[117] = 192, d[118] = 168, d[119] = 1, d[120] = 50;
    const auto s = ParseStateReply(View(d));
    EXPECT_EQ(1, s.raidFound);
    EXPECT_EQ(1, s.disk1Present);
    EXPECT_EQ(0, s.disk1Ready);
    EXPECT_EQ(1, s.disk2Present);
    EXPECT_EQ(1, s.disk2Ready);
    EXPECT_EQ(std::string(30, 'p'), s.password);
    EXPECT_EQ(3, s.addressFlag);
    EXPECT_EQ((Ipv4{192, 168, 1, 50}), s.address);

    auto i = Reply(kServer, kPc, kInfoReply, 0, 160);
    std::memcpy(&i[52], "FW 1.2", 6);
    std::memcpy(&i[102], "model 7", 7);
    const auto info = ParseInfoReply(View(i));
    EXPECT_EQ("FW 1.2", info.text1);
    EXPECT_EQ("model 7", info.text2);
}

TEST(ConfigurationListener, CodesAndSubCodes) {
    EXPECT_EQ(ConfigEvent::Progress, ClassifyConfigDatagram(View(Reply(kServer, kPc, kProgressReply, 1)), kPc));
    EXPECT_EQ(ConfigEvent::Progress, ClassifyConfigDatagram(View(Reply(kServer, kPc, kProgressReply, 12)), kPc));
    for (int32_t unknown : {0, 13, -1, 20}) {
        EXPECT_EQ(ConfigEvent::Ignore, ClassifyConfigDatagram(View(Reply(kServer, kPc, kProgressReply, unknown)), kPc))
            << unknown;
    }
    EXPECT_EQ(ConfigEvent::BoardBusy, ClassifyConfigDatagram(View(Reply(kServer, kPc, kBoardBusyReply)), kPc));
    EXPECT_EQ(ConfigEvent::Failure, ClassifyConfigDatagram(View(Reply(kServer, kPc, kFailureReply, 3)), kPc));
    EXPECT_EQ(ConfigEvent::Restart, ClassifyConfigDatagram(View(Reply(kServer, kPc, kRestartReply)), kPc));
    // Everything addressed to another PC is ignored, restart included.
    EXPECT_EQ(ConfigEvent::Ignore, ClassifyConfigDatagram(View(Reply(kServer, kOtherPc, kRestartReply)), kPc));
    EXPECT_EQ(ConfigEvent::Ignore, ClassifyConfigDatagram(View(Reply(kServer, kOtherPc, kFailureReply, 2)), kPc));
    // A zero-filled short datagram must not pass for a board-busy report (code 0).
    const auto shortOne = Reply(kServer, kPc, kRestartReply, 0, 7);
    EXPECT_EQ(ConfigEvent::Ignore, ClassifyConfigDatagram(View(shortOne), kPc));
}

TEST(ConfigurationListener, OperationKeys) {
    EXPECT_STREQ("time_set", OperationKey(1));
    EXPECT_STREQ("portiation_format", OperationKey(3));
    EXPECT_STREQ("create_share", OperationKey(5));
    EXPECT_STREQ("print_set", OperationKey(12));
    EXPECT_EQ(nullptr, OperationKey(13));
    EXPECT_EQ(nullptr, OperationKey(0));
}

TEST(Formatting, MacAndAddress) {
    EXPECT_EQ("00:11:22:33:44:55", FormatMac(kServer));
    EXPECT_EQ("02:AA:BB:CC:DD:EE", FormatMac(kPc));
    EXPECT_EQ("255.0.10.1", FormatIpv4({255, 0, 10, 1}));
}
