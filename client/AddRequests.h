// Bodies of the three add requests, built apart from sending so that their
// bytes can be checked without a server.
#pragma once
#include <string>

#include "client/Operation.h"

namespace client {

// Locally produced reply code: the torrent file could not be read into one
// send buffer (4 GiB or more, no memory, read failure); nothing was sent.
inline constexpr char kReplyTorrentRefused[] = "OTHERERR_TORRENTFILE";

// The multipart text around the torrent's bytes: `head` ends with the file
// part's header, `tail` starts with the line break that closes the file bytes.
struct TorrentUploadFrame {
    std::string head;
    std::string tail;
};

std::string BuildAddWebFtpBody(const AddWebFtpArg& item);
std::string BuildAddBtUrlBody(const AddBtUrlArg& item);
TorrentUploadFrame BuildTorrentUploadFrame(const AddBtFileArg& item);

}  // namespace client
