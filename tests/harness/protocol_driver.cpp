// Test driver for the end-to-end tests: runs one protocol exchange or network
// utility against simulated servers and prints what it saw, one event a line.
// Only ever run inside the test's own network namespaces.
//
//   protocol_driver probe | probes N
//   protocol_driver discover WAIT_MS
//   protocol_driver ctl-discover [ARGS...]
//   protocol_driver state MAC TIMEOUT_MS
//   protocol_driver config MAC TIMEOUT_MS [FIELD=VALUE...]
//   protocol_driver listen-stop discovery|state|config
//   protocol_driver adapters
//   protocol_driver ping HOST [raw|api|none]
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "protocol/Protocol.h"
#include "tools/ctl_discover.h"
#include "wizard/NetUtil.h"

namespace {

void Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Line(const char* format, ...) {
    static std::mutex lock;
    std::lock_guard guard(lock);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
}

bool ParseMac(const char* text, mgmt::Mac& mac) {
    unsigned v[6];
    if (std::sscanf(text, "%x:%x:%x:%x:%x:%x", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]) != 6) return false;
    for (int i = 0; i < 6; ++i) mac[i] = static_cast<uint8_t>(v[i]);
    return true;
}

bool ParseIp(const std::string& text, uint8_t (&out)[4]) {
    unsigned v[4];
    if (std::sscanf(text.c_str(), "%u.%u.%u.%u", &v[0], &v[1], &v[2], &v[3]) != 4) return false;
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(v[i]);
    return true;
}

class DriverOwner : public mgmt::IProtocolOwner {
public:
    mgmt::Mac server{};

    void RefreshAdapters() override {
        std::lock_guard guard(lock_);
        netutil::QueryAdapters(values_);
        Line("refreshed %s", mgmt::FormatMac(values_.mac).c_str());
    }
    mgmt::Mac PcMac() const override {
        std::lock_guard guard(lock_);
        return values_.mac;
    }
    mgmt::Mac SelectedServerMac() const override { return server; }

    void ServerFound(const mgmt::FoundServer& s) override {
        Line("found %u %s %s %u %s", static_cast<unsigned>(s.row), mgmt::FormatIpv4(s.address).c_str(),
             mgmt::FormatMac(s.mac).c_str(), s.status, s.name.c_str());
    }
    void StateReply(const mgmt::StateReplyData& s) override {
        Line("state raid=%u disk1=%u,%u disk2=%u,%u flag=%u address=%s password=%s", s.raidFound, s.disk1Present,
             s.disk1Ready, s.disk2Present, s.disk2Ready, s.addressFlag, mgmt::FormatIpv4(s.address).c_str(),
             s.password.c_str());
    }
    void InfoReply(const mgmt::InfoReplyData& i) override { Line("info %s|%s", i.text1.c_str(), i.text2.c_str()); }
    void Busy() override { Line("busy"); }
    void Progress(int32_t sub) override { Line("progress %d %s", sub, mgmt::OperationKey(sub)); }
    void Failure(int32_t sub) override { Line("failure %d", sub); }
    void BoardBusy() override { Line("boardbusy"); }
    void Restart() override { Line("restart"); }

private:
    mutable std::mutex lock_;
    netutil::PcNetValues values_;
};

// Waits for the listener to stop by itself, else stops it the usual way.
void Finish(DriverOwner& owner, win::Handle& listener, DWORD timeoutMs) {
    const DWORD begin = ::GetTickCount();
    while (!owner.stop && ::GetTickCount() - begin < timeoutMs) ::Sleep(20);
    const bool byItself = owner.stop.load();
    if (::WaitForSingleObject(listener.Get(), 2000) == WAIT_OBJECT_0) { listener.Close(); }
    const bool stopped = mgmt::StopListener(owner, listener);
    Line("end %s %s", byItself ? "self" : "timeout", stopped ? "stopped" : "hung");
}

bool ApplyField(mgmt::ServerConfig& c, const std::string& key, const std::string& value) {
    const int n = std::atoi(value.c_str());
    const auto byte = static_cast<uint8_t>(n);
    if (key == "password")
        mgmt::SetConfigText(c.password, value);
    else if (key == "name")
        mgmt::SetConfigText(c.name, value);
    else if (key == "raid")
        c.raidFound = byte;
    else if (key == "disk1")
        c.disk1Present = byte, c.disk1Ready = static_cast<uint8_t>(value.size() > 2 ? value[2] - '0' : 0);
    else if (key == "disk2")
        c.disk2Present = byte, c.disk2Ready = static_cast<uint8_t>(value.size() > 2 ? value[2] - '0' : 0);
    else if (key == "auto")
        c.autoAddress = byte;
    else if (key == "ip")
        return ParseIp(value, c.address);
    else if (key == "mask")
        return ParseIp(value, c.mask);
    else if (key == "gateway")
        return ParseIp(value, c.gateway);
    else if (key == "dns")
        return ParseIp(value, c.dns);
    else if (key == "bt")
        c.btService = byte;
    else if (key == "itunes")
        c.itunesService = byte;
    else if (key == "media")
        c.mediaServer = byte;
    else if (key == "timesync")
        c.timeSync = byte;
    else if (key == "dst")
        c.daylightSaving = byte;
    else if (key == "dststart")
        c.dstStartMonth = byte, c.dstStartDay = static_cast<uint8_t>(std::atoi(value.c_str() + value.find('/') + 1));
    else if (key == "dstend")
        c.dstEndMonth = byte, c.dstEndDay = static_cast<uint8_t>(std::atoi(value.c_str() + value.find('/') + 1));
    else if (key == "timezone")
        c.timeZone = n;
    else if (key == "clock")
        c.pcClock = std::atoll(value.c_str());
    else
        return false;
    return true;
}

int Usage() {
    std::fprintf(
        stderr,
        "usage: protocol_driver probe|probes|discover|ctl-discover|state|config|listen-stop|adapters|ping ...\n");
    return 2;
}

int Run(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    if (command == "ctl-discover")  // [--wait MS], as the console takes it
        return RunDiscover(argc >= 4 ? static_cast<DWORD>(std::atoi(argv[3])) : 2000);

    mgmt::SocketsScope sockets;
    if (command == "probe") {
        Line("sent %d", mgmt::SendDiscoveryProbe() ? 1 : 0);
        return 0;
    }
    if (command == "probes" && argc >= 3) {
        Line("sent %d", mgmt::SendDiscoveryProbes(std::atoi(argv[2])) ? 1 : 0);
        return 0;
    }
    if (command == "discover" && argc >= 3) {
        DriverOwner owner;
        win::Handle listener = mgmt::StartListener(mgmt::ListenerKind::Discovery, owner);
        mgmt::SendDiscoveryProbe();
        ::Sleep(static_cast<DWORD>(std::atoi(argv[2])));
        Line("end %s rows=%u", mgmt::StopListener(owner, listener) ? "stopped" : "hung",
             static_cast<unsigned>(owner.servers.Count()));
        return 0;
    }
    if (command == "state" && argc >= 4) {
        DriverOwner owner;
        if (!ParseMac(argv[2], owner.server)) return Usage();
        win::Handle listener = mgmt::StartListener(mgmt::ListenerKind::State, owner);
        mgmt::SendStateQuery(owner);
        Finish(owner, listener, static_cast<DWORD>(std::atoi(argv[3])));
        return 0;
    }
    if (command == "config" && argc >= 4) {
        DriverOwner owner;
        if (!ParseMac(argv[2], owner.server)) return Usage();
        mgmt::ServerConfig config = mgmt::DefaultServerConfig();
        for (int i = 4; i < argc; ++i) {
            const std::string arg = argv[i];
            const size_t eq = arg.find('=');
            if (eq == std::string::npos || !ApplyField(config, arg.substr(0, eq), arg.substr(eq + 1))) return Usage();
        }
        owner.RefreshAdapters();
        win::Handle listener = mgmt::StartListener(mgmt::ListenerKind::Configuration, owner);
        mgmt::SendConfiguration(owner, config);
        Finish(owner, listener, static_cast<DWORD>(std::atoi(argv[3])));
        return 0;
    }
    if (command == "listen-stop" && argc >= 3) {
        const std::string kind = argv[2];
        DriverOwner owner;
        win::Handle listener = mgmt::StartListener(kind == "state"    ? mgmt::ListenerKind::State
                                                   : kind == "config" ? mgmt::ListenerKind::Configuration
                                                                      : mgmt::ListenerKind::Discovery,
                                                   owner);
        Line("listening %d", owner.listening ? 1 : 0);
        ::Sleep(300);
        // Still running: nothing has woken it.
        Line("running %d", ::WaitForSingleObject(listener.Get(), 0) == WAIT_TIMEOUT ? 1 : 0);
        const DWORD begin = ::GetTickCount();
        const bool stopped = mgmt::StopListener(owner, listener, 3000);
        Line("stopped %d after %lu ms listening=%d", stopped ? 1 : 0,
             static_cast<unsigned long>(::GetTickCount() - begin), owner.listening ? 1 : 0);
        return 0;
    }
    if (command == "adapters") {
        netutil::PcNetValues v;
        uint8_t autoFlag = 0xEE;
        const int count = netutil::QueryAdapters(v, &autoFlag);
        Line("adapters %d mac=%s dhcp=%d auto=%d ip=%s mask=%s gateway=%s dns=%s", count,
             mgmt::FormatMac(v.mac).c_str(), v.dhcp ? 1 : 0, autoFlag, v.ip.c_str(), v.mask.c_str(), v.gateway.c_str(),
             v.dns.c_str());
        return 0;
    }
    if (command == "ping" && argc >= 3) {
        // Where the raw socket cannot be opened (no administrator rights) the
        // ping takes the echo call; "api" makes it do so here too.
        unsigned routes = netutil::kAnyRoute;
        if (argc >= 4) {
            const std::string route = argv[3];
            if (route == "raw")
                routes = netutil::kRawSocket;
            else if (route == "api")
                routes = netutil::kEchoApi;
            else if (route == "none")
                routes = 0;
            else
                return Usage();
        }
        const DWORD begin = ::GetTickCount();
        const netutil::PingResult result = netutil::Ping(argv[2], routes);
        Line("result %d elapsed %lu%s", result == netutil::PingResult::Answered ? 1 : 0,
             static_cast<unsigned long>(::GetTickCount() - begin),
             result == netutil::PingResult::Impossible ? " impossible" : "");
        return 0;
    }
    return Usage();
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (...) {
        std::fprintf(stderr, "protocol_driver: unexpected exception\n");
        return 3;
    }
}
