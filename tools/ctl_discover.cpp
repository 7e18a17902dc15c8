#include "tools/ctl_discover.h"

#include <mutex>
#include <string>
#include <vector>

#include "protocol/Protocol.h"
#include "tools/ctl_json.h"
#include "tools/ctl_output.h"
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
    case 0:
        return "new";
    case 1:
        return "configured";
    case 2:
        return "failed";
    case 3:
        return "busy";
    default:
        return "unknown";
    }
}

}  // namespace

int RunDiscover(DWORD waitMs, bool json) {
    mgmt::SocketsScope sockets;
    if (!sockets.Ok()) {
        ctl::Err("discover: sockets unavailable\n");
        return ctl::kExitUsage;
    }
    DiscoverOwner owner;
    // The listener must be bound before the probe goes out, or early answers are lost.
    win::Handle listener = mgmt::StartListener(mgmt::ListenerKind::Discovery, owner);
    if (!listener) {
        ctl::Err("discover: cannot listen on UDP port " + std::to_string(mgmt::kPort) +
                 " (is another program using it?)\n");
        return ctl::kExitUsage;
    }
    // The listener reports to `owner`, which lives on this stack: it must have
    // ended before this function returns, whatever happens to the wake-up probe.
    auto stopListener = [&] {
        if (!mgmt::StopListener(owner, listener)) ::WaitForSingleObject(listener.Get(), INFINITE);
    };
    if (!mgmt::SendDiscoveryProbe()) {
        ctl::Err("discover: cannot send the probe\n");
        stopListener();
        return ctl::kExitUsage;
    }
    ::Sleep(waitMs);
    stopListener();

    const auto found = owner.Found();
    if (json) {
        ctl::JsonWriter document;
        document.BeginObject().Key("servers").BeginArray();
        for (const auto& s : found)
            document.BeginObject()
                .Key("name")
                .Text(s.name)
                .Key("address")
                .Text(mgmt::FormatIpv4(s.address))
                .Key("mac")
                .Text(mgmt::FormatMac(s.mac))
                .Key("status")
                .Text(StatusText(s.status))
                .End();
        document.End().End();
        ctl::OutUtf8(document.Document());
    } else {
        std::string out;
        for (const auto& s : found)
            out += ctl::PrintableText(s.name) + "  " + mgmt::FormatIpv4(s.address) + "  " + mgmt::FormatMac(s.mac) +
                   "  " + StatusText(s.status) + "\n";
        ctl::Out(out);
    }
    ctl::Err(std::to_string(found.size()) + " server(s) found\n");
    return found.empty() ? ctl::kExitFailed : ctl::kExitOk;
}
