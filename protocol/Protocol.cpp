#include "protocol/Protocol.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace mgmt {

namespace {

sockaddr_in BroadcastAddress() {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(kPort);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    return to;
}

// One sending socket per datagram or burst; `count` sends with a pause of
// `pauseMs` after each.
bool SendBroadcast(const uint8_t* data, size_t size, int count, DWORD pauseMs) {
    win::Socket s(::socket(AF_INET, SOCK_DGRAM, 0));
    if (!s) return false;
    u_long nonBlocking = 1;
    BOOL on = TRUE;
    if (::ioctlsocket(s.Get(), FIONBIO, &nonBlocking) != 0 ||
        ::setsockopt(s.Get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0) {
        return false;
    }
    const sockaddr_in to = BroadcastAddress();
    for (int i = 0; i < count; ++i) {
        // A non-blocking send that would block is as lost as a dropped
        // datagram; the protocol copes with that by repeating or timing out.
        ::sendto(s.Get(), reinterpret_cast<const char*>(data), static_cast<int>(size), 0,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to);
        if (pauseMs) ::Sleep(pauseMs);
    }
    return true;
}

bool SendQuery(IProtocolOwner& owner, int32_t code) {
    owner.RefreshAdapters();
    const auto bytes = BuildCommand(owner.SelectedServerMac(), owner.PcMac(), std::rand(), code);
    return SendBroadcast(bytes.data(), bytes.size(), 1, 0);
}

void HandleState(const Datagram& d, IProtocolOwner& owner, win::Socket& s) {
    switch (ClassifyStateDatagram(d, owner.PcMac(), owner.SelectedServerMac())) {
    case StateEvent::State:
        owner.StateReply(ParseStateReply(d));
        SendInfoQuery(owner);
        break;
    case StateEvent::Info:
        owner.stop = true;
        s.Close();
        owner.InfoReply(ParseInfoReply(d));
        break;
    case StateEvent::Busy:
        owner.stop = true;
        s.Close();
        owner.Busy();
        break;
    case StateEvent::Ignore:
        break;
    }
}

void HandleConfiguration(const Datagram& d, IProtocolOwner& owner, win::Socket& s) {
    const int32_t subCode = d.Int32(off::kSubCode);
    switch (ClassifyConfigDatagram(d, owner.PcMac())) {
    case ConfigEvent::Progress:
        owner.Progress(subCode);
        break;
    case ConfigEvent::BoardBusy:
        owner.BoardBusy();
        break;
    case ConfigEvent::Failure:
        owner.stop = true;
        s.Close();
        owner.Failure(subCode);
        break;
    case ConfigEvent::Restart:
        owner.stop = true;
        s.Close();
        owner.Restart();
        break;
    case ConfigEvent::Ignore:
        break;
    }
}

// How long a receive blocks before the listener looks at its stop flag again:
// the wake-up probe may never arrive (no route for broadcasts, a lost datagram).
constexpr DWORD kReceiveTimeoutMs = 200;

struct ListenerStart {
    ListenerKind kind;
    IProtocolOwner* owner;
    win::Handle ready{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};  // set up or given up
    std::atomic<bool> listening{false};
};

void RunListener(ListenerStart& start) {
    const ListenerKind kind = start.kind;
    IProtocolOwner& owner = *start.owner;
    win::Socket s(::socket(AF_INET, SOCK_DGRAM, 0));
    BOOL on = TRUE;
    const DWORD timeout = kReceiveTimeoutMs;
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(kPort);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    u_long blocking = 0;
    if (!s || ::setsockopt(s.Get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on) != 0) {
        ::SetEvent(start.ready.Get());
        return;
    }
    // A socket that is not bound receives nothing: when another program holds
    // the port exclusively, the listener gives up and says so.
    if (::bind(s.Get(), reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        owner.portTaken = true;
        ::SetEvent(start.ready.Get());
        return;
    }
    if (::ioctlsocket(s.Get(), FIONBIO, &blocking) != 0 ||
        ::setsockopt(s.Get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
        ::setsockopt(s.Get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout) != 0) {
        ::SetEvent(start.ready.Get());
        return;
    }
    start.listening = true;
    owner.listening = true;
    ::SetEvent(start.ready.Get());

    uint8_t buffer[kReceiveBufferSize];
    while (!owner.stop && s) {
        std::memset(buffer, 0, sizeof buffer);
        sockaddr_in from{};
        int fromLength = sizeof from;
        const int n = ::recvfrom(s.Get(), reinterpret_cast<char*>(buffer), sizeof buffer, 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
        // Errors (an oversized datagram among them), time-outs and empty
        // datagrams are skipped; so is anything that arrives once the owner
        // wants us gone.
        if (n <= 0) {
            const int error = n < 0 ? ::WSAGetLastError() : 0;
            if (n < 0 && error != WSAEMSGSIZE && error != WSAETIMEDOUT) ::Sleep(10);  // no busy loop on a broken socket
            continue;
        }
        if (owner.stop) break;
        const Datagram d(buffer, static_cast<size_t>(n));
        switch (kind) {
        case ListenerKind::Discovery:
            HandleDiscoveryDatagram(d, owner);
            break;
        case ListenerKind::EveryDiscoveryReply:
            // Datagrams shorter than a reply read as zeros beyond their end and fail the test.
            if (auto server = ParseQuarrowDiscoveryReply(d)) owner.ServerAnswered(*server);
            break;
        case ListenerKind::State:
            HandleState(d, owner, s);
            break;
        case ListenerKind::Configuration:
            HandleConfiguration(d, owner, s);
            break;
        }
    }
}

DWORD WINAPI ListenerThread(LPVOID parameter) {
    // Shared with the starter, which may still read it after this thread ends.
    std::unique_ptr<std::shared_ptr<ListenerStart>> start(static_cast<std::shared_ptr<ListenerStart>*>(parameter));
    ListenerStart& state = **start;
    try {
        RunListener(state);
    } catch (...) {
        // Nothing may leave a thread's entry point; the owner sees the
        // listener end like one that could not set up its socket.
    }
    state.owner->listening = false;
    ::SetEvent(state.ready.Get());
    return 0;
}

}  // namespace

void IProtocolOwner::ForgetServers(const std::function<void()>& forgetReported) {
    std::lock_guard guard(discoveryLock_);
    servers.Clear();
    if (forgetReported) forgetReported();
}

void HandleDiscoveryDatagram(const Datagram& d, IProtocolOwner& owner) {
    const auto reply = ParseDiscoveryReply(d);
    if (!reply) return;
    std::lock_guard guard(owner.discoveryLock_);
    size_t row = 0;
    if (owner.servers.Add(reply->head, reply->status, &row) != ServerTable::AddResult::Added) return;
    owner.ServerFound(FoundServer{row, reply->address, reply->name, reply->mac(), reply->status});
}

bool SendDiscoveryProbe() {
    const auto probe = BuildDiscoveryProbe();
    return SendBroadcast(probe.data(), probe.size(), 1, 100);
}

bool SendDiscoveryProbes(int count) {
    const auto probe = BuildDiscoveryProbe();
    return SendBroadcast(probe.data(), probe.size(), count, 100);
}

bool SendStateQuery(IProtocolOwner& owner) { return SendQuery(owner, kStateQuery); }

bool SendInfoQuery(IProtocolOwner& owner) { return SendQuery(owner, kInfoQuery); }

bool SendConfiguration(IProtocolOwner& owner, const ServerConfig& config) {
    const auto bytes = BuildConfigurationCommand(owner.SelectedServerMac(), owner.PcMac(), std::rand(), config);
    return SendBroadcast(bytes.data(), bytes.size(), 1, 100);
}

win::Handle StartListener(ListenerKind kind, IProtocolOwner& owner) {
    owner.stop = false;
    owner.listening = false;
    owner.portTaken = false;
    auto start = std::make_shared<ListenerStart>();
    start->kind = kind;
    start->owner = &owner;
    if (!start->ready) return {};
    auto* parameter = new std::shared_ptr<ListenerStart>(start);
    win::Handle thread(::CreateThread(nullptr, 0, ListenerThread, parameter, 0, nullptr));
    if (!thread) {
        delete parameter;
        return thread;
    }
    ::WaitForSingleObject(start->ready.Get(), INFINITE);
    if (!start->listening) {
        // Given up on its socket: the thread is on its way out.
        ::WaitForSingleObject(thread.Get(), INFINITE);
        thread.Close();
    }
    return thread;
}

bool StopListener(IProtocolOwner& owner, win::Handle& thread, DWORD timeoutMs, const std::function<void()>& wake) {
    owner.stop = true;
    if (!thread) return true;
    const DWORD begin = ::GetTickCount();
    for (;;) {
        wake();
        const DWORD waited = ::GetTickCount() - begin;
        const DWORD slice = waited >= timeoutMs ? 0 : (timeoutMs - waited < 1000 ? timeoutMs - waited : 1000);
        if (::WaitForSingleObject(thread.Get(), slice) == WAIT_OBJECT_0) {
            thread.Close();
            return true;
        }
        if (::GetTickCount() - begin >= timeoutMs) return false;
    }
}

}  // namespace mgmt
