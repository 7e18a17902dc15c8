// The hand-over of a torrent file or a link from a "/f" or "/l" start to the
// running main window: the payload of its WM_COPYDATA message, how both sides
// build and read it, and the sending process's wait.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
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

// The sending process: shows the hand-over window, starts the program when no
// main window exists, waits until the main window is idle and sends. Returns
// the process exit code; never waits for a main window that has gone.
int SendHandOver(int kind, const std::string& argument);

}  // namespace app
