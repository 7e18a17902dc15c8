#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "protocol/Protocol.h"
#include "protocol/ServerTable.h"

using namespace mgmt;

namespace {
std::array<uint8_t, kProbeSize> Head(int n) {
    return {0x00, 0x10, 0x20, 0x30, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n), 0x01, 0x04, 0, 0};
}
}  // namespace

TEST(ServerTable, OneRowPerMacInArrivalOrder) {
    ServerTable t;
    size_t row = 99;
    EXPECT_EQ(ServerTable::AddResult::Added, t.Add(Head(7), 0, &row));
    EXPECT_EQ(0u, row);
    EXPECT_EQ(ServerTable::AddResult::Added, t.Add(Head(3), 1, &row));
    EXPECT_EQ(1u, row);
    // The same MAC again, even with other trailing bytes and status: dropped.
    auto again = Head(7);
    again[8] = 0xEE;
    EXPECT_EQ(ServerTable::AddResult::Duplicate, t.Add(again, 3, &row));
    EXPECT_EQ(2u, t.Count());
    EXPECT_EQ(0, t.Row(0)->head[8]);
    EXPECT_EQ(0, t.Row(0)->status);
    EXPECT_EQ(1, t.Row(1)->status);
    EXPECT_FALSE(t.Row(2));
}

TEST(ServerTable, TheHundredFirstServerIsDroppedUntilARescan) {
    ServerTable t;
    for (int i = 0; i < 100; ++i) ASSERT_EQ(ServerTable::AddResult::Added, t.Add(Head(i), 0));
    EXPECT_EQ(ServerTable::AddResult::Full, t.Add(Head(100), 0));
    EXPECT_EQ(ServerTable::AddResult::Duplicate, t.Add(Head(42), 0));
    EXPECT_EQ(100u, t.Count());
    EXPECT_EQ(Head(99), t.Row(99)->head);
    t.Clear();
    EXPECT_EQ(0u, t.Count());
    size_t row = 99;
    EXPECT_EQ(ServerTable::AddResult::Added, t.Add(Head(100), 0, &row));
    EXPECT_EQ(0u, row);
}

namespace {

// An owner that keeps the servers reported to it in a list of its own, as the
// wizard's dialog does, and can hold the listener inside its report.
class HoldingOwner : public IProtocolOwner {
public:
    void RefreshAdapters() override {}
    Mac PcMac() const override { return {}; }
    Mac SelectedServerMac() const override { return {}; }
    void ServerFound(const FoundServer& server) override {
        if (hold_) {
            hold_ = false;
            ::SetEvent(inside.Get());
            ::WaitForSingleObject(release.Get(), INFINITE);
        }
        std::lock_guard guard(lock_);
        reported_.push_back(server.name);
    }
    void HoldNextReport() { hold_ = true; }
    void ForgetReported() {
        std::lock_guard guard(lock_);
        reported_.clear();
    }
    std::vector<std::string> Reported() {
        std::lock_guard guard(lock_);
        return reported_;
    }
    win::Handle inside{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    win::Handle release{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};

private:
    std::atomic<bool> hold_{false};
    std::mutex lock_;
    std::vector<std::string> reported_;
};

std::vector<uint8_t> Discovered(const char* name) {
    std::vector<uint8_t> d(80, 0);
    const auto head = Head(5);
    std::copy(head.begin(), head.end(), d.begin());
    std::memcpy(d.data() + 10, name, std::strlen(name));
    d[68] = 0x07;
    return d;
}

template <typename F>
DWORD WINAPI Call(LPVOID f) {
    (*static_cast<F*>(f))();
    return 0;
}

template <typename F>
win::Handle StartThread(F* f) {
    return win::Handle(::CreateThread(nullptr, 0, &Call<F>, f, 0, nullptr));
}

}  // namespace

TEST(ServerTable, ARescanDuringAReportListsTheServerOnce) {
    // The listener has put the server in the table and is about to report it
    // when a rescan empties the table and the owner's list; the server then
    // answers the rescan's probe. It must be listed once, not twice.
    HoldingOwner owner;
    const auto reply = Discovered("NAS");
    const Datagram d(reply.data(), reply.size());
    owner.HoldNextReport();
    auto listen = [&] { HandleDiscoveryDatagram(d, owner); };
    win::Handle listener = StartThread(&listen);
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(owner.inside.Get(), 10000));

    auto rescan = [&] { owner.ForgetServers([&] { owner.ForgetReported(); }); };
    win::Handle dialog = StartThread(&rescan);
    // Give the rescan every chance to run ahead of the report it must wait for.
    ::WaitForSingleObject(dialog.Get(), 300);
    ::SetEvent(owner.release.Get());
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(listener.Get(), 10000));
    ASSERT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(dialog.Get(), 10000));

    HandleDiscoveryDatagram(d, owner);  // the answer to the rescan's probe
    EXPECT_EQ(std::vector<std::string>{"NAS"}, owner.Reported());
    EXPECT_EQ(1u, owner.servers.Count());
}
