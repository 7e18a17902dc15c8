// The reading of a reply body in chunks up to its marker line or its end,
// apart from the transport that delivers the chunks.
#pragma once
#include <string>

#include "client/PageLimit.h"

namespace client {

enum class ReadMode {
    UntilMarker,  // stop as soon as the marker line is complete
    Whole,        // read the body to its end
};

// Reads a response into accumulated text in 1000-byte chunks. Exposed for tests:
// `readChunk` fills at most 1000 bytes and returns the count, 0 at the end, -1 on failure.
template <typename ReadChunk>
bool AccumulateReply(ReadChunk&& readChunk, ReadMode mode, std::string& text, std::string& code);

}  // namespace client

#include "client/ReplyReading.inl"
