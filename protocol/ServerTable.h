// The wizard's table of discovered servers: 100 rows, one per MAC address.
#pragma once
#include <array>
#include <cstddef>
#include <mutex>
#include <optional>

#include "protocol/Packets.h"

namespace mgmt {

struct ServerEntry {
    std::array<uint8_t, kProbeSize> head{};  // the first 10 bytes of the discovery reply
    uint8_t status = 0;
    Mac mac() const;
};

// The discovery listener appends from its thread while the dialog reads rows
// and empties the table on a rescan, so every access takes the lock.
//
// The table never grows past its 100 rows: once it is full, replies from
// further servers are dropped (the first 100 distinct servers of a pass win)
// until a rescan empties it. Nothing else grows with the number of datagrams
// received, so a flood of replies costs time but no memory.
class ServerTable {
public:
    static constexpr size_t kRows = 100;
    enum class AddResult { Added, Duplicate, Full };

    // Looks the MAC of `head` up; a new server is appended and its row index
    // stored in *index.
    AddResult Add(const std::array<uint8_t, kProbeSize>& head, uint8_t status, size_t* index = nullptr);
    void Clear();
    size_t Count() const;
    std::optional<ServerEntry> Row(size_t index) const;

private:
    mutable std::mutex lock_;
    std::array<ServerEntry, kRows> rows_{};
    size_t count_ = 0;
};

}  // namespace mgmt
