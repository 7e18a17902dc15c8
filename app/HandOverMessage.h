// The payload of a hand-over and how both sides build and read it: plain
// functions over bytes and texts, apart from the windows that carry it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "client/CSConvertor.h"

namespace app {

enum HandOverKind : int32_t { kHandOverTorrent = 1, kHandOverLink = 2 };

// What travels: kind, the link's code page (0 for a torrent), the torrent's
// path or the link for that code page, and for a link the UTF-8 form.
struct HandOver {
    int32_t kind = 0;
    int32_t codePage = 0;
    std::string first;
    std::string second;
};

// Payload layout: kind (4 bytes), code page (4), first text and its zero,
// for a link the second text and its zero; little-endian.
std::vector<char> BuildHandOverMessage(const HandOver& handOver);

// The receiver's reading of a payload that another process chose: true only
// for a known kind whose texts each end inside the payload; nothing outside
// [data, data + size) is read. The code page is not read.
constexpr size_t kMaxHandOverSize = 1 << 20;
bool ReadHandOverMessage(const void* data, size_t size, HandOver& handOver);

// "/f" argument: the path inside the quotes. False when there is no path, so
// that nothing is handed over.
bool PrepareTorrentHandOver(const std::string& argument, HandOver& handOver);
// "/l" argument: HEX, a blank, the character-set name. HEX decodes whole
// units only, up to the first zero unit (a zero would cut the texts short on
// the receiving side). Every "%25" becomes "%2525"; then both encodings.
// False without a blank.
bool PrepareLinkHandOver(const std::string& argument, const client::CCSConvertor& charsets, HandOver& handOver);

}  // namespace app
