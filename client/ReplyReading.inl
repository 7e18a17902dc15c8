// The chunked reply reading declared in ReplyReading.h, a template over the
// transport that delivers the chunks.
#pragma once
#include <cstring>

#include "client/ReplyCode.h"

namespace client {

template <typename ReadChunk>
bool AccumulateReply(ReadChunk&& readChunk, ReadMode mode, std::string& text, std::string& code) {
    constexpr size_t kMarkerLength = sizeof kReplyMarker - 1;
    // Each chunk is searched once: for the marker, the new text and the
    // marker's length before it (a marker may be split across chunks); once
    // the marker is found, only the new text for the end of its line.
    size_t codeStart = std::string::npos, lineSearch = 0;
    for (;;) {
        char buffer[1001];
        std::memset(buffer, 0, sizeof buffer);
        long got = readChunk(buffer, 1000);
        if (got < 0) return false;
        if (got == 0) break;
        const size_t before = text.size();
        // A zero byte inside a chunk ends that chunk's contribution.
        text.append(buffer, std::strlen(buffer));
        if (mode == ReadMode::UntilMarker) {
            if (codeStart == std::string::npos) {
                const size_t marker = text.find(kReplyMarker, before >= kMarkerLength ? before - kMarkerLength : 0);
                if (marker != std::string::npos) lineSearch = codeStart = marker + kMarkerLength;
            }
            if (codeStart != std::string::npos) {
                const size_t lineFeed = text.find('\n', lineSearch);
                if (lineFeed != std::string::npos) {
                    code.assign(text, codeStart, lineFeed - codeStart);
                    return true;
                }
                lineSearch = text.size();
            }
        }
        // Neither a whole page nor a reply up to its marker line is held beyond this.
        if (text.size() > kMaxPageBytes) {
            code = kReplyPageError;
            return true;
        }
    }
    // Read to the end: a reply read up to its marker never completed the line.
    code = mode == ReadMode::Whole ? ReplyCodeOfPage(text) : std::string(kReplyPageError);
    return true;
}

}  // namespace client
