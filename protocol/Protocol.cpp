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

void HandleDiscovery(const Datagram& d, IProtocolOwner& owner) {
    const auto reply = ParseDiscoveryReply(d);
    if (!reply) return;
    size_t row = 0;
    if (owner.servers.Add(reply->head, reply->status, &row) != ServerTable::AddResult::Added) return;
    owner.ServerFound(FoundServer{row, reply->address, reply->name, reply->mac(), reply->status});
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

void RunListener(ListenerKind kind, IProtocolOwner& owner) {
    win::Socket s(::socket(AF_INET, SOCK_DGRAM, 0));
    BOOL on = TRUE;
    if (!s || ::setsockopt(s.Get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on) != 0) {
        owner.listening = true;  // the starter must not wait for ever
        return;
    }
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(kPort);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    // Another program may hold the port; with the reuse option we still get
    // the broadcasts, so a failing bind is not fatal.
    ::bind(s.Get(), reinterpret_cast<const sockaddr*>(&any), sizeof any);
    u_long blocking = 0;
    if (::ioctlsocket(s.Get(), FIONBIO, &blocking) != 0 ||
        ::setsockopt(s.Get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0) {
        owner.listening = true;
        return;
    }
    owner.listening = true;

    uint8_t buffer[kReceiveBufferSize];
    while (!owner.stop && s) {
        std::memset(buffer, 0, sizeof buffer);
        sockaddr_in from{};
        int fromLength = sizeof from;
        const int n = ::recvfrom(s.Get(), reinterpret_cast<char*>(buffer), sizeof buffer, 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
        // Errors (an oversized datagram among them) and empty datagrams are
        // skipped; so is anything that arrives once the owner wants us gone.
        if (n <= 0) {
            if (n < 0 && ::WSAGetLastError() != WSAEMSGSIZE) ::Sleep(10);  // no busy loop on a broken socket
            continue;
        }
        if (owner.stop) break;
        const Datagram d(buffer, static_cast<size_t>(n));
        switch (kind) {
        case ListenerKind::Discovery:
            HandleDiscovery(d, owner);
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

struct ListenerStart {
    ListenerKind kind;
    IProtocolOwner* owner;
};

DWORD WINAPI ListenerThread(LPVOID parameter) {
    std::unique_ptr<ListenerStart> start(static_cast<ListenerStart*>(parameter));
    try {
        RunListener(start->kind, *start->owner);
    } catch (...) {
        // Nothing may leave a thread's entry point; the owner sees the
        // listener end like one that could not set up its socket.
    }
    start->owner->listening = false;
    return 0;
}

}  // namespace

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
    auto* start = new ListenerStart{kind, &owner};
    win::Handle thread(::CreateThread(nullptr, 0, ListenerThread, start, 0, nullptr));
    if (!thread) {
        delete start;
        return thread;
    }
    // The listener sets the flag even when it gives up; the thread's end is
    // checked too because it clears the flag again on its way out.
    while (!owner.listening && ::WaitForSingleObject(thread.Get(), 0) == WAIT_TIMEOUT) ::Sleep(0);
    return thread;
}

bool StopListener(IProtocolOwner& owner, win::Handle& thread, DWORD timeoutMs) {
    owner.stop = true;
    if (!thread) return true;
    const DWORD begin = ::GetTickCount();
    for (;;) {
        SendDiscoveryProbe();
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
