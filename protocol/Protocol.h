// Senders and listener threads of the UDP management protocol, and the
// interface through which the listeners report to the window that owns them.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "common/Handle.h"
#include "protocol/Packets.h"
#include "protocol/ServerTable.h"

namespace mgmt {

struct FoundServer {
    size_t row = 0;  // the server's position in the table and in the owner's list
    Ipv4 address{};
    std::string name;
    Mac mac{};
    uint8_t status = 0;  // 0 new, 1 configured, 2 configuration failed, 3 busy
};

// The owner of the listeners: the wizard's main dialog, or a console command.
// Only one listener runs at a time; it shares the flags and the server table
// below with the owner's thread and calls the callbacks on its own thread.
class IProtocolOwner {
public:
    virtual ~IProtocolOwner() = default;

    std::atomic<bool> listening{false};  // set by the listener once its socket is set up
    std::atomic<bool> stop{false};       // set by the owner (or a listener that has its answer)
    std::atomic<bool> portTaken{false};  // the last listener could not bind: another program holds the port
    ServerTable servers;                 // filled by the discovery listener

    // Empties the server table and, in the same step, whatever the owner
    // keeps of the servers reported so far (`forgetReported`). The discovery
    // listener adds a row and reports it as one step under the same lock:
    // otherwise a server added to the old table could be reported after the
    // clearing, find itself missing from the new table and be reported twice.
    void ForgetServers(const std::function<void()>& forgetReported = {});

    // The PC's adapter data: refreshed before each state and info query so
    // that the source MAC of the command is current.
    virtual void RefreshAdapters() = 0;
    virtual Mac PcMac() const = 0;
    virtual Mac SelectedServerMac() const = 0;

    // Discovery: a server not yet in the table.
    virtual void ServerFound(const FoundServer&) {}
    // Every discovery reply as it comes, with no table in between (the main
    // program keeps its own list, one entry per address).
    virtual void ServerAnswered(const stserver&) {}
    // State reading. After StateReply the listener sends the info query and
    // keeps running; InfoReply and Busy end it (stop flag already set).
    virtual void StateReply(const StateReplyData&) {}
    virtual void InfoReply(const InfoReplyData&) {}
    virtual void Busy() {}
    // Configuration. Progress comes only for known operation sub-codes;
    // Failure and Restart end the listener, BoardBusy does not.
    virtual void Progress(int32_t) {}
    virtual void Failure(int32_t) {}
    virtual void BoardBusy() {}
    virtual void Restart() {}

private:
    friend void HandleDiscoveryDatagram(const Datagram& d, IProtocolOwner& owner);
    std::mutex discoveryLock_;  // a table row and its report, or a clearing
};

// The discovery listener's work on one datagram: a discovery reply from a
// server not yet in the table gets a row and is reported to the owner.
void HandleDiscoveryDatagram(const Datagram& d, IProtocolOwner& owner);

// Sockets for the lifetime of a scope; one owner for both programs and the tools.
using SocketsScope = win::SocketsScope;

// Senders: each opens its own non-blocking broadcast socket and closes it
// again. They return false when the socket cannot be created or set up, in
// which case nothing was sent.
bool SendDiscoveryProbe();                   // one probe, then 100 ms
bool SendDiscoveryProbes(int count = 3);     // the main program's burst: 100 ms after each
bool SendStateQuery(IProtocolOwner& owner);  // refreshes the adapter data first
bool SendInfoQuery(IProtocolOwner& owner);   // refreshes the adapter data first
bool SendConfiguration(IProtocolOwner& owner, const ServerConfig& config);  // then 100 ms

enum class ListenerKind { Discovery, EveryDiscoveryReply, State, Configuration };

// Clears the owner's stop flag, starts the listener thread and returns once it
// listens, so that no reply can come before the socket is bound. An invalid
// handle means that no listener runs: the thread could not be created, or its
// socket could not be set up (another program holds the port exclusively),
// in which case the thread has already ended.
win::Handle StartListener(ListenerKind kind, IProtocolOwner& owner);

// Sets the stop flag and wakes the blocking receive with a probe, which the
// listener receives as its own broadcast; repeats the probe every second in
// case one is lost. Where no probe gets through, the listener still sees the
// flag within a fraction of a second, as every receive times out.
// `wake` sends the waking probe, for an owner whose closing sends a burst of
// its own. Returns true once the thread has ended (or there was none).
bool StopListener(
    IProtocolOwner& owner, win::Handle& thread, DWORD timeoutMs = 5000,
    const std::function<void()>& wake = [] { SendDiscoveryProbe(); });

}  // namespace mgmt
