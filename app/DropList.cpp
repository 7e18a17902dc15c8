#include "app/DropList.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

namespace app {

static_assert(sizeof(DROPFILES) == 20, "the drop block's header as every program writes it");

namespace {

std::string ToAnsi(const std::wstring& wide) {
    if (wide.empty()) return {};
    int bytes =
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), bytes, nullptr,
                              nullptr);
    return text;
}

}  // namespace

bool ReadDropFiles(const void* block, size_t size, std::vector<std::string>& names) {
    names.clear();
    DROPFILES header;
    if (!block || size < sizeof header) return false;
    std::memcpy(&header, block, sizeof header);
    const char* bytes = static_cast<const char*>(block);
    size_t at = header.pFiles;
    if (at < sizeof header || at > size) return false;
    std::vector<std::string> read;
    if (header.fWide) {
        // The names need not be aligned: read them unit by unit.
        std::wstring name;
        for (; at + sizeof(wchar_t) <= size; at += sizeof(wchar_t)) {
            wchar_t unit;
            std::memcpy(&unit, bytes + at, sizeof unit);
            if (unit != 0) {
                name += unit;
                continue;
            }
            if (name.empty()) {
                names = std::move(read);
                return true;
            }
            read.push_back(ToAnsi(name));
            name.clear();
        }
        return false;
    }
    for (size_t start = at; at < size; ++at) {
        if (bytes[at] != '\0') continue;
        if (at == start) {
            names = std::move(read);
            return true;
        }
        read.emplace_back(bytes + start, at - start);
        start = at + 1;
    }
    return false;
}

bool IsTorrentName(const std::string& path) {
    static constexpr char kExtension[] = ".torrent";
    constexpr size_t kLength = sizeof kExtension - 1;
    if (path.size() < kLength) return false;
    const char* tail = path.data() + path.size() - kLength;
    for (size_t i = 0; i < kLength; ++i) {
        char c = tail[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');  // ASCII only: no locale in play
        if (c != kExtension[i]) return false;
    }
    return true;
}

DropList SortDroppedFiles(const std::vector<DroppedFile>& files) {
    DropList list;
    for (const DroppedFile& file : files) {
        if (!file.folder && IsTorrentName(file.path))
            list.torrents.push_back(file.path);
        else
            ++list.ignored;
    }
    return list;
}

}  // namespace app
