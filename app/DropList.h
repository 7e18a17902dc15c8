// The files dropped onto the main window: the names read from the drop's
// memory block, and which of them can be added (the torrent files, in the
// order of the drop). Free of windows, so that both are tested alone.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace app {

// The names of a DROPFILES block (its header, then zero-terminated names in
// ANSI or UTF-16, closed by an empty one), wide names in the ANSI code page.
// The block may come from another process: a header that does not fit, names
// that start outside the block or run past its end give false and no names.
bool ReadDropFiles(const void* block, size_t size, std::vector<std::string>& names);

struct DroppedFile {
    std::string path;
    bool folder = false;  // a folder never opens as a torrent, whatever its name
};

struct DropList {
    std::vector<std::string> torrents;  // in the order of the drop
    size_t ignored = 0;                 // everything else, told once for the whole drop
};

// True for a name ending in ".torrent", in any case. Comparing the last eight
// bytes is safe in double-byte code pages too: "." is never the second byte of
// a character and no letter of "torrent" is ever a first byte, so those eight
// bytes are eight characters whenever they match.
bool IsTorrentName(const std::string& path);

DropList SortDroppedFiles(const std::vector<DroppedFile>& files);

}  // namespace app
