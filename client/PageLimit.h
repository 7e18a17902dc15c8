// The largest page the client holds in memory.
#pragma once
#include <cstddef>

namespace client {

// Pages read whole never legitimately come near this; a bigger one is refused
// as a page error instead of being held in memory.
inline constexpr size_t kMaxPageBytes = 16u * 1024u * 1024u;

}  // namespace client
