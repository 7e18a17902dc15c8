// Chunked reply reading shared by every request.
#pragma once
#include <cstring>

#include "ReplyCode.h"

namespace client {

template <typename ReadChunk>
bool AccumulateReply(ReadChunk&& readChunk, ReadMode mode, std::string& text, std::string& code) {
    for (;;) {
        char buffer[1001];
        std::memset(buffer, 0, sizeof buffer);
        long got = readChunk(buffer, 1000);
        if (got < 0) return false;
        if (got == 0) break;
        // A zero byte inside a chunk ends that chunk's contribution.
        text.append(buffer, std::strlen(buffer));
        if (mode == ReadMode::UntilMarker) {
            if (FindReplyCode(text, code)) return true;
        } else if (text.size() > kMaxPageBytes) {
            code = kReplyPageError;
            return true;
        }
    }
    code = ReplyCodeOfPage(text);
    return true;
}

}  // namespace client
