// One HTTP exchange with the server on the open connection, run on an
// operation's worker thread. Every platform failure becomes "OTHERERR_EXCEPTION".
#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace client {

// Pages read whole never legitimately come near this; a bigger one is refused
// as a page error instead of being held in memory.
inline constexpr size_t kMaxPageBytes = 16u * 1024u * 1024u;

// The request handle currently in flight for one operation. When the operation
// is given up, the window thread closes that handle, which makes a blocked
// WinINet call on the worker return; the worker then closes nothing twice.
class AbortSlot {
public:
    // False when the operation was already given up (the caller closes h).
    bool Register(HINTERNET h);
    // True when h is still registered and so still the caller's to close.
    bool Unregister(HINTERNET h);
    void Abandon();
    bool Abandoned();

private:
    std::mutex mutex_;
    HINTERNET active_ = nullptr;
    bool abandoned_ = false;
};

// What a request function gets: the connection and the abort slot.
struct RequestContext {
    HINTERNET connection = nullptr;
    std::shared_ptr<AbortSlot> abort;
};

enum class ReadMode {
    UntilMarker,  // stop as soon as the marker line is complete
    Whole,        // read the body to its end
};

struct HttpExchange {
    const char* verb = "GET";
    const char* object = "";
    DWORD flags = INTERNET_FLAG_EXISTING_CONNECT;
    const char* headers = nullptr;  // additional headers for the send
    bool replaceHeader = false;     // also add `headers` with HTTP_ADDREQ_FLAG_REPLACE
    const void* body = nullptr;
    DWORD bodyLength = 0;
    ReadMode read = ReadMode::UntilMarker;
};

// Runs the exchange and returns the reply code. With ReadMode::Whole, `page`
// (if given) receives the whole body as accumulated text.
std::string RunExchange(RequestContext& ctx, const HttpExchange& exchange, std::string* page = nullptr);

// Form text: no extra header; the terminating zero byte is sent too.
std::string PostFormText(RequestContext& ctx, const char* object, const std::string& text);

// Multipart body with the boundary header; `withZero` sends the terminating zero byte too.
std::string PostMultipart(RequestContext& ctx, const char* object, const std::string& body, bool withZero,
                          ReadMode read = ReadMode::UntilMarker, std::string* page = nullptr);

// Opens the status page uncached and returns its HTTP status code without
// reading the body; 0 on a platform failure.
DWORD ProbeStatusPage(RequestContext& ctx);

// Reads a response into accumulated text in 1000-byte chunks. Exposed for tests:
// `readChunk` fills at most 1000 bytes and returns the count, 0 at the end, -1 on failure.
template <typename ReadChunk>
bool AccumulateReply(ReadChunk&& readChunk, ReadMode mode, std::string& text, std::string& code);

}  // namespace client

#include "HttpTransport.inl"
