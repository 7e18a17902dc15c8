#include "HttpTransport.h"

#include "ReplyCode.h"
#include "common/Handle.h"
#include "client/Multipart.h"

namespace client {

bool AbortSlot::Register(HINTERNET h) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (abandoned_) return false;
    active_ = h;
    return true;
}

bool AbortSlot::Unregister(HINTERNET h) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (active_ != h) return false;
    active_ = nullptr;
    return true;
}

void AbortSlot::Abandon() {
    HINTERNET h = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        abandoned_ = true;
        h = active_;
        active_ = nullptr;
    }
    if (h) ::InternetCloseHandle(h);
}

bool AbortSlot::Abandoned() {
    std::lock_guard<std::mutex> lock(mutex_);
    return abandoned_;
}

namespace {

// A request handle registered in the abort slot for as long as it is open.
class ActiveRequest {
public:
    ActiveRequest(RequestContext& ctx, HINTERNET h) : ctx_(ctx), h_(h) {
        if (h_ && ctx_.abort && !ctx_.abort->Register(h_)) {
            ::InternetCloseHandle(h_);
            h_ = nullptr;
        }
    }
    ~ActiveRequest() {
        if (!h_) return;
        if (!ctx_.abort || ctx_.abort->Unregister(h_)) ::InternetCloseHandle(h_);
    }
    ActiveRequest(const ActiveRequest&) = delete;
    ActiveRequest& operator=(const ActiveRequest&) = delete;
    HINTERNET Get() const { return h_; }

private:
    RequestContext& ctx_;
    HINTERNET h_;
};

HINTERNET OpenRequest(RequestContext& ctx, const char* verb, const char* object, DWORD flags) {
    if (!ctx.connection) return nullptr;
    return ::HttpOpenRequestA(ctx.connection, verb, object, "HTTP/1.0", nullptr, nullptr, flags, 1);
}

}  // namespace

std::string RunExchange(RequestContext& ctx, const HttpExchange& ex, std::string* page) {
    ActiveRequest request(ctx, OpenRequest(ctx, ex.verb, ex.object, ex.flags));
    if (!request.Get()) return kReplyException;

    if (ex.replaceHeader && ex.headers &&
        !::HttpAddRequestHeadersA(request.Get(), ex.headers, static_cast<DWORD>(-1), HTTP_ADDREQ_FLAG_REPLACE))
        return kReplyException;
    DWORD headerLength = ex.headers ? static_cast<DWORD>(-1) : 0;
    if (!::HttpSendRequestA(request.Get(), ex.headers, headerLength, const_cast<void*>(ex.body), ex.bodyLength))
        return kReplyException;
    // A connection reset before any reply arrives is a transport failure, even
    // where the HTTP layer hands it over as an empty answer without a status line.
    DWORD status = 0, size = sizeof status;
    if (!::HttpQueryInfoA(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status == 0)
        return kReplyException;

    std::string text, code;
    auto readChunk = [&](char* buffer, DWORD size) -> long {
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

DWORD ProbeStatusPage(RequestContext& ctx) {
    ActiveRequest request(ctx, OpenRequest(ctx, "GET", "Quarrow.asp", INTERNET_FLAG_RELOAD));
    if (!request.Get()) return 0;
    if (!::HttpSendRequestA(request.Get(), nullptr, 0, nullptr, 0)) return 0;
    DWORD status = 0, size = sizeof status;
    if (!::HttpQueryInfoA(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
        return 0;
    return status;
}

}  // namespace client
