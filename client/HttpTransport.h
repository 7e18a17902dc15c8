// One HTTP exchange with the server on the open connection, run on an
// operation's worker thread. Every platform failure becomes "OTHERERR_EXCEPTION".
#pragma once
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "client/PageLimit.h"
#include "client/ReplyReading.h"

namespace client {

// Set when an operation is given up. Its worker may still be inside a WinINet
// call; it opens no further request, stops reading, closes what it opened
// itself and leaves. Nobody else closes a worker's request handle: a handle
// closed under a running call has its value handed out again to the next
// operation's request, which the late worker would then read from.
class GiveUpFlag {
public:
    void Set() { set_ = true; }
    bool IsSet() const { return set_; }

private:
    std::atomic<bool> set_{false};
};

// An internet handle shared by the client and the workers that use it, closed
// by whichever lets it go last: a given-up worker keeps its session and
// connection open until it ends, whatever the client has done meanwhile.
using SharedInternetHandle = std::shared_ptr<void>;
SharedInternetHandle ShareInternetHandle(HINTERNET h);

// What a request function gets: the connection, its operation's give-up flag
// and, once the connection has authenticated, the value of the Authorization
// header that succeeded.
struct RequestContext {
    HINTERNET connection = nullptr;
    std::shared_ptr<GiveUpFlag> givenUp;
    std::string authorization;
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

// Test seam: called on the worker right after a request was sent, with the
// request and whether its operation has been given up meanwhile.
inline void (*g_afterSendForTesting)(HINTERNET request, bool givenUp) = nullptr;

// Runs the exchange and returns the reply code. With ReadMode::Whole, `page`
// (if given) receives the whole body as accumulated text.
std::string RunExchange(RequestContext& ctx, const HttpExchange& exchange, std::string* page = nullptr);

// Form text: no extra header; the terminating zero byte is sent too.
std::string PostFormText(RequestContext& ctx, const char* object, const std::string& text);

// Multipart body with the boundary header; `withZero` sends the terminating zero byte too.
std::string PostMultipart(RequestContext& ctx, const char* object, const std::string& body, bool withZero,
                          ReadMode read = ReadMode::UntilMarker, std::string* page = nullptr);

// Opens the status page uncached and returns its HTTP status code without
// reading the body; 0 on a platform failure. `authorization` receives the
// Basic credentials the HTTP layer sent, if it had to.
DWORD ProbeStatusPage(RequestContext& ctx, std::string* authorization = nullptr);

// The value of the Basic Authorization header sent with `request`; empty when
// none was sent (or another scheme).
std::string SentAuthorization(HINTERNET request);

}  // namespace client
