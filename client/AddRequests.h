// Adding jobs: a Web/FTP link, a torrent URL, a torrent file uploaded whole.
// The bodies are built apart from sending so that their bytes can be checked
// without a server.
#pragma once
#include <string>

#include "client/HttpTransport.h"
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

// The requests return the server's reply code (or kReplyTorrentRefused).
std::string RequestAddWebFtpItem(RequestContext& ctx, const AddWebFtpArg& item);
std::string RequestAddBtItemFromUrl(RequestContext& ctx, const AddBtUrlArg& item);
std::string RequestAddBtItemFromFile(RequestContext& ctx, const AddBtFileArg& item);
// The upload as an operation: a torrent that could not be read into memory was
// never sent and is reported like a file that could not be opened.
int AddBtItemFromFileOperation(RequestContext& ctx, const AddBtFileArg& item);

}  // namespace client
