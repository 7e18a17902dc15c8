#include "protocol/ServerTable.h"

#include <algorithm>

namespace mgmt {

Mac ServerEntry::mac() const {
    Mac m;
    std::copy_n(head.begin(), m.size(), m.begin());
    return m;
}

ServerTable::AddResult ServerTable::Add(const std::array<uint8_t, kProbeSize>& head, uint8_t status, size_t* index) {
    std::lock_guard guard(lock_);
    for (size_t i = 0; i < count_; ++i) {
        if (std::equal(head.begin(), head.begin() + 6, rows_[i].head.begin())) return AddResult::Duplicate;
    }
    if (count_ == kRows) return AddResult::Full;
    rows_[count_] = ServerEntry{head, status};
    if (index) *index = count_;
    ++count_;
    return AddResult::Added;
}

void ServerTable::Clear() {
    std::lock_guard guard(lock_);
    count_ = 0;
}

size_t ServerTable::Count() const {
    std::lock_guard guard(lock_);
    return count_;
}

std::optional<ServerEntry> ServerTable::Row(size_t index) const {
    std::lock_guard guard(lock_);
    if (index >= count_) return std::nullopt;
    return rows_[index];
}

}  // namespace mgmt
