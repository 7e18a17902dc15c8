// quarrowctl discover [--wait MS]: one probe, then every storage server that
// answers within the wait, one line each:
//   NAME  ADDRESS  MAC  STATUS
// Exit code 0 when at least one server answered, 1 when none did, 2 when the
// sockets could not be set up.
#include "tools/ctl_discover.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "protocol/Protocol.h"
#include "tools/ctl_table.h"

namespace {

class DiscoverOwner : public mgmt::IProtocolOwner {
public:
    void RefreshAdapters() override {}
    mgmt::Mac PcMac() const override { return {}; }
    mgmt::Mac SelectedServerMac() const override { return {}; }

    void ServerFound(const mgmt::FoundServer& server) override {
        std::lock_guard guard(lock_);
        found_.push_back(server);  // bounded by the server table's rows
    }
    std::vector<mgmt::FoundServer> Found() {
        std::lock_guard guard(lock_);
        return found_;
    }

private:
    std::mutex lock_;
    std::vector<mgmt::FoundServer> found_;
};

const char* StatusText(uint8_t status) {
    switch (status) {
    case 0: return "new";
    case 1: return "configured";
    case 2: return "failed";
    case 3: return "busy";
    default: return "unknown";
    }
}

}  // namespace

int RunDiscoverCommand(int argc, char** argv) {
    DWORD waitMs = 2000;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--wait") == 0 && i + 1 < argc) {
            waitMs = static_cast<DWORD>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            std::fprintf(stderr, "usage: discover [--wait MS]\n");
            return 2;
        }
    }
    mgmt::SocketsScope sockets;
    if (!sockets.Ok()) {
        std::fprintf(stderr, "discover: sockets unavailable\n");
        return 2;
    }
    DiscoverOwner owner;
    // The listener must be bound before the probe goes out, or early answers are lost.
    win::Handle listener = mgmt::StartListener(mgmt::ListenerKind::Discovery, owner);
    if (!listener) {
        std::fprintf(stderr, "discover: cannot listen on UDP port %u (is another program using it?)\n",
                     static_cast<unsigned>(mgmt::kPort));
        return 2;
    }
    // The listener reports to `owner`, which lives on this stack: it must have
    // ended before this function returns, whatever happens to the wake-up probe.
    auto stopListener = [&] {
        if (!mgmt::StopListener(owner, listener)) ::WaitForSingleObject(listener.Get(), INFINITE);
    };
    if (!mgmt::SendDiscoveryProbe()) {
        std::fprintf(stderr, "discover: cannot send the probe\n");
        stopListener();
        return 2;
    }
    ::Sleep(waitMs);
    stopListener();

    const auto found = owner.Found();
    for (const auto& s : found) {
        std::printf("%s  %s  %s  %s\n", ctl::PrintableText(s.name).c_str(), mgmt::FormatIpv4(s.address).c_str(),
                    mgmt::FormatMac(s.mac).c_str(), StatusText(s.status));
    }
    std::fflush(stdout);
    std::fprintf(stderr, "%u server(s) found\n", static_cast<unsigned>(found.size()));
    return found.empty() ? 1 : 0;
}
