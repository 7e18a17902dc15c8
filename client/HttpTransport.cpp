#include "HttpTransport.h"

#include "ReplyCode.h"
#include "common/Handle.h"
#include "client/Multipart.h"

namespace client {

SharedInternetHandle ShareInternetHandle(HINTERNET h) {
    if (!h) return nullptr;
    return SharedInternetHandle(h, [](void* handle) { ::InternetCloseHandle(handle); });
}

namespace {

bool GivenUp(const RequestContext& ctx) { return ctx.givenUp && ctx.givenUp->IsSet(); }

HINTERNET OpenRequest(RequestContext& ctx, const char* verb, const char* object, DWORD flags) {
    if (!ctx.connection || GivenUp(ctx)) return nullptr;
    return ::HttpOpenRequestA(ctx.connection, verb, object, "HTTP/1.0", nullptr, nullptr, flags, 1);
}

}  // namespace

std::string RunExchange(RequestContext& ctx, const HttpExchange& ex, std::string* page) {
    // Only this worker closes its request, also when the operation is given up.
    win::InternetHandle request(OpenRequest(ctx, ex.verb, ex.object, ex.flags));
    if (!request.Get()) return kReplyException;
    // Once the connection has authenticated, the credentials go with the first
    // request instead of after a 401. Where that fails the HTTP layer still
    // answers the challenge itself, so the result is not judged.
    if (!ctx.authorization.empty()) {
        std::string header = "Authorization: " + ctx.authorization + "\r\n";
        ::HttpAddRequestHeadersA(request.Get(), header.c_str(), static_cast<DWORD>(header.size()),
                                 HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE);
    }

    // Some HTTP layers refuse to replace a header that is not there yet; the
    // header travels with the send below either way, so the answer is not judged.
    if (ex.replaceHeader && ex.headers)
        ::HttpAddRequestHeadersA(request.Get(), ex.headers, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_REPLACE);
    DWORD headerLength = ex.headers ? static_cast<DWORD>(-1) : 0;
    if (!::HttpSendRequestA(request.Get(), ex.headers, headerLength, const_cast<void*>(ex.body), ex.bodyLength))
        return kReplyException;
    if (g_afterSendForTesting) g_afterSendForTesting(request.Get(), GivenUp(ctx));
    // A connection reset before any reply arrives is a transport failure, even
    // where the HTTP layer hands it over as an empty answer without a status line.
    DWORD status = 0, size = sizeof status;
    if (!::HttpQueryInfoA(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status == 0)
        return kReplyException;

    std::string text, code;
    auto readChunk = [&](char* buffer, DWORD size) -> long {
        if (GivenUp(ctx)) return -1;  // nobody waits for the answer any more
        DWORD got = 0;
        if (!::InternetReadFile(request.Get(), buffer, size, &got)) return -1;
        return static_cast<long>(got);
    };
    if (!AccumulateReply(readChunk, ex.read, text, code)) return kReplyException;
    if (page) *page = std::move(text);
    return code;
}

std::string PostFormText(RequestContext& ctx, const char* object, const std::string& text) {
    HttpExchange ex;
    ex.verb = "POST";
    ex.object = object;
    ex.body = text.c_str();
    ex.bodyLength = static_cast<DWORD>(text.size() + 1);
    return RunExchange(ctx, ex);
}

std::string PostMultipart(RequestContext& ctx, const char* object, const std::string& body, bool withZero,
                          ReadMode read, std::string* page) {
    HttpExchange ex;
    ex.verb = "POST";
    ex.object = object;
    ex.headers = kMultipartHeader;
    ex.body = body.c_str();
    ex.bodyLength = static_cast<DWORD>(body.size() + (withZero ? 1 : 0));
    ex.read = read;
    return RunExchange(ctx, ex, page);
}

DWORD ProbeStatusPage(RequestContext& ctx, std::string* authorization) {
    win::InternetHandle request(OpenRequest(ctx, "GET", "Quarrow.asp", INTERNET_FLAG_RELOAD));
    if (!request.Get()) return 0;
    if (!::HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0)) return 0;
    DWORD status = 0, size = sizeof status;
    if (!::HttpQueryInfoA(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return 0;
    if (authorization) *authorization = SentAuthorization(request.Get());
    return status;
}

std::string SentAuthorization(HINTERNET request) {
    char value[1024];
    DWORD size = sizeof value;
    if (!::HttpQueryInfoA(request, HTTP_QUERY_AUTHORIZATION | HTTP_QUERY_FLAG_REQUEST_HEADERS, value, &size, nullptr))
        return std::string();
    std::string text(value, size);
    // Only the Basic scheme can be sent again as it is; the text must stay one header line.
    if (text.compare(0, 6, "Basic ") != 0 || text.find_first_of("\r\n") != std::string::npos) return std::string();
    return text;
}

}  // namespace client
