// Adding jobs: a Web/FTP link, a torrent URL, a torrent file uploaded whole.
#include "client/AddRequests.h"

#include <cstring>
#include <memory>
#include <new>

#include "client/CSConvertor.h"
#include "client/Multipart.h"
#include "client/ReplyCode.h"

namespace client {

std::string BuildAddWebFtpBody(const AddWebFtpArg& item) {
    MultipartBuilder body;
    body.Field("UrlEncoded", item.urlEncoded)
        .Field("UrlUtf8", item.urlUtf8)
        .Field("savePath", item.savePath)
        .Field("user", item.user)
        .Field("pwd", item.password);
    return body.Finish();
}

std::string BuildAddBtUrlBody(const AddBtUrlArg& item) {
    MultipartBuilder body;
    body.Field("btItemPriority", item.priority)
        .Field("torrentType", 0)
        .Field("savePath", item.savePath)
        .Field("UrlEncoded", item.urlEncoded)
        .Field("UrlUtf8", item.urlUtf8);
    return body.Finish();
}

TorrentUploadFrame BuildTorrentUploadFrame(const AddBtFileArg& item) {
    TorrentUploadFrame frame;
    MultipartBuilder body;
    body.Field("btItemPriority", item.priority).Field("torrentType", 1).FileHeader("file");
    frame.head = body.Text();
    // The server reads the PC path percent-encoded for UTF-8 with the caret
    // escape on top of that.
    const std::string pcPathEncoded = CCSConvertor::EncodeForCodePage(item.pcPath, CCSConvertor::GetUtf8CodePage());
    body.ContinueAfterFile().Field("savePath", item.savePath).Field("pcLocationEncoded", CaretEscape(pcPathEncoded));
    frame.tail = body.Finish();
    return frame;
}

std::string RequestAddWebFtpItem(RequestContext& ctx, const AddWebFtpArg& item) {
    return PostMultipart(ctx, "goform/formNasDownloadAdd", BuildAddWebFtpBody(item), true);
}

std::string RequestAddBtItemFromUrl(RequestContext& ctx, const AddBtUrlArg& item) {
    // The one multipart form the server wants without the trailing zero byte.
    return PostMultipart(ctx, "/goform/formAddBtItem", BuildAddBtUrlBody(item), false);
}

SharedFile OpenTorrentFile(const std::string& pcPath) {
    HANDLE file = ::CreateFileA(pcPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return nullptr;
    return SharedFile(file, ::CloseHandle);
}

std::string RequestAddBtItemFromFile(RequestContext& ctx, const AddBtFileArg& item) {
    const TorrentUploadFrame frame = BuildTorrentUploadFrame(item);
    const HANDLE file = item.file.get();
    LARGE_INTEGER size{};
    if (!file || file == INVALID_HANDLE_VALUE || !::GetFileSizeEx(file, &size)) { return kReplyTorrentRefused; }
    // The whole body travels in one buffer whose length is a DWORD: a file
    // that does not fit is refused rather than sent truncated.
    const unsigned long long total =
        frame.head.size() + static_cast<unsigned long long>(size.QuadPart) + frame.tail.size();
    if (size.QuadPart < 0 || size.HighPart != 0 || total > MAXDWORD) return kReplyTorrentRefused;
    const DWORD fileLength = size.LowPart;

    std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(total)]);
    if (!buffer) return kReplyTorrentRefused;
    char* cursor = buffer.get();
    std::memcpy(cursor, frame.head.data(), frame.head.size());
    cursor += frame.head.size();
    LARGE_INTEGER start{};
    if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return kReplyTorrentRefused;
    DWORD read = 0;
    if (fileLength != 0 && (!::ReadFile(file, cursor, fileLength, &read, nullptr) || read != fileLength))
        return kReplyTorrentRefused;
    cursor += fileLength;
    std::memcpy(cursor, frame.tail.data(), frame.tail.size());

    HttpExchange ex;
    ex.verb = "POST";
    ex.object = "/goform/formAddBtItem";
    ex.headers = kMultipartHeader;
    ex.replaceHeader = true;
    ex.body = buffer.get();
    ex.bodyLength = static_cast<DWORD>(total);
    return RunExchange(ctx, ex);
}

int AddBtItemFromFileOperation(RequestContext& ctx, const AddBtFileArg& item) {
    std::string code = RequestAddBtItemFromFile(ctx, item);
    return code == kReplyTorrentRefused ? kResultCannotOpenFile : MapReplyCode(code);
}

}  // namespace client
