#include "app/HandOverMessage.h"

#include <cstring>

#include "app/CommandLine.h"

namespace app {

namespace {
constexpr size_t kHeaderSize = 8;

void PutInt(std::vector<char>& out, int32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF));
}

int32_t GetInt(const unsigned char* p) {
    return static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

// The zero-terminated text at `offset`; false if its zero is not inside the payload.
bool TakeText(const char* data, size_t size, size_t& offset, std::string& text) {
    if (offset >= size) return false;
    const void* zero = std::memchr(data + offset, 0, size - offset);
    if (!zero) return false;
    size_t end = static_cast<size_t>(static_cast<const char*>(zero) - data);
    text.assign(data + offset, end - offset);
    offset = end + 1;
    return true;
}
}  // namespace

std::vector<char> BuildHandOverMessage(const HandOver& handOver) {
    std::vector<char> out;
    out.reserve(kHeaderSize + handOver.first.size() + handOver.second.size() + 2);
    PutInt(out, handOver.kind);
    PutInt(out, handOver.codePage);
    out.insert(out.end(), handOver.first.begin(), handOver.first.end());
    out.push_back('\0');
    if (handOver.kind == kHandOverLink) {
        out.insert(out.end(), handOver.second.begin(), handOver.second.end());
        out.push_back('\0');
    }
    return out;
}

bool ReadHandOverMessage(const void* data, size_t size, HandOver& handOver) {
    if (!data || size < kHeaderSize + 1 || size > kMaxHandOverSize) return false;
    const char* bytes = static_cast<const char*>(data);
    HandOver read;
    read.kind = GetInt(reinterpret_cast<const unsigned char*>(bytes));
    if (read.kind != kHandOverTorrent && read.kind != kHandOverLink) return false;
    size_t offset = kHeaderSize;
    if (!TakeText(bytes, size, offset, read.first)) return false;
    if (read.kind == kHandOverLink && !TakeText(bytes, size, offset, read.second)) return false;
    handOver = std::move(read);
    return true;
}

bool PrepareTorrentHandOver(const std::string& argument, HandOver& handOver) {
    std::string path = TorrentPathFromArgument(argument);
    if (path.empty()) return false;
    handOver = {kHandOverTorrent, 0, path, std::string()};
    return true;
}

bool PrepareLinkHandOver(const std::string& argument, const client::CCSConvertor& charsets, HandOver& handOver) {
    LinkArgument parts;
    if (!ParseLinkArgument(argument, parts)) return false;
    std::wstring link = DecodeHexLink(parts.hexLink);
    link = link.substr(0, link.find(L'\0'));
    for (size_t at = link.find(L"%25"); at != std::wstring::npos; at = link.find(L"%25", at + 5))
        link.replace(at, 3, L"%2525");
    handOver.kind = kHandOverLink;
    handOver.codePage = charsets.CodePageFromName(parts.charset);
    handOver.first = client::CCSConvertor::EncodeWideForCodePage(link, handOver.codePage);
    handOver.second = client::CCSConvertor::EncodeWideForCodePage(link, client::CCSConvertor::GetUtf8CodePage());
    return true;
}

}  // namespace app
