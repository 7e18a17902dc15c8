// Datagrams of the management protocol as the wizard's and the main
// program's listeners receive them, and the commands built from their fields.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "protocol/Packets.h"

using namespace mgmt;

namespace {

void CheckText(const uint8_t* data, size_t length, const std::string& text, size_t offset, size_t fieldSize) {
    FUZZ_CHECK(text.size() <= fieldSize);
    FUZZ_CHECK(text.find('\0') == std::string::npos);
    FUZZ_CHECK(text.empty() ||
               (offset + text.size() <= length && std::memcmp(data + offset, text.data(), text.size()) == 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Datagram d(data, size);
    const size_t length = d.Length();
    FUZZ_CHECK(length <= kReceiveBufferSize && length <= size);
    for (size_t offset : {size_t{0}, length, kReceiveBufferSize, size_t{5000}})
        FUZZ_CHECK(offset < length || d.Byte(offset) == 0);

    const auto wizard = ParseDiscoveryReply(d);
    const auto quarrow = ParseQuarrowDiscoveryReply(d);
    FUZZ_CHECK(wizard.has_value() == IsDiscoveryReply(d) && quarrow.has_value() == IsDiscoveryReply(d));
    if (wizard) {
        FUZZ_CHECK(wizard->name[kNameSize] == '\0');
        FUZZ_CHECK(std::string(wizard->name) == quarrow->name);
        FUZZ_CHECK(wizard->address == quarrow->address);
        CheckText(data, length, quarrow->name, off::kName, kNameSize);
        FUZZ_CHECK(FormatIpv4(quarrow->address).size() <= 15);
        FUZZ_CHECK(FormatMac(wizard->mac()).size() == 17);
    }

    const StateReplyData state = ParseStateReply(d);
    CheckText(data, length, state.password, off::kPassword, kStatePasswordSize);
    const InfoReplyData info = ParseInfoReply(d);
    CheckText(data, length, info.text1, off::kInfoText1, kInfoTextSize);
    CheckText(data, length, info.text2, off::kInfoText2, kInfoTextSize);

    const auto frame = ParseReplyFrame(d);
    FUZZ_CHECK(frame.has_value() == (d.Byte(off::kDirection) == 0x01));
    const Mac fixedPc{0x02, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE};
    const Mac fixedServer{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    for (const Mac& pc : {fixedPc, d.MacAt(off::kSourceMac)}) {
        const StateEvent s = ClassifyStateDatagram(d, pc, d.MacAt(off::kDestMac));
        const ConfigEvent c = ClassifyConfigDatagram(d, pc);
        if (!frame) FUZZ_CHECK(s == StateEvent::Ignore && c == ConfigEvent::Ignore);
        if (c == ConfigEvent::Progress) FUZZ_CHECK(OperationKey(frame->subCode) != nullptr);
        (void)ClassifyStateDatagram(d, pc, fixedServer);
    }

    // A command built from the datagram's fields reads back the same once
    // turned into a reply.
    const Mac server = d.MacAt(0), pc = d.MacAt(6);
    const int32_t transaction = d.Int32(12), code = d.Int32(16);
    auto command = BuildCommand(server, pc, transaction, code);
    command[off::kDirection] = 0x01;
    const auto back = ParseReplyFrame(Datagram(command.data(), command.size()));
    FUZZ_CHECK(back && back->server == server && back->pc == pc && back->code == code && back->subCode == 0);
    ServerConfig config = DefaultServerConfig();
    std::memcpy(&config, data, size < kConfigSize ? size : kConfigSize);
    SetConfigText(config.name, d.Text(20, 60));
    FUZZ_CHECK(config.name[39] == '\0');
    const auto bytes = ToBytes(config);
    const auto whole = BuildConfigurationCommand(server, pc, transaction, config);
    FUZZ_CHECK(std::memcmp(whole.data() + kHeaderSize, bytes.data(), kConfigSize) == 0);
    FUZZ_CHECK(std::memcmp(whole.data(), BuildCommand(server, pc, transaction, kConfigure).data(), kHeaderSize) == 0);
    return 0;
}
