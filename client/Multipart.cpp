#include "Multipart.h"

namespace client {

void MultipartBuilder::OpenPart() {
    text_ += afterFile_ ? "\r\n--" : "--";
    afterFile_ = false;
    text_ += kBoundary;
    text_ += "\r\nContent-Disposition: form-data; ";
}

MultipartBuilder& MultipartBuilder::Field(const char* name, const std::string& value) {
    OpenPart();
    text_ += "name=\"";
    text_ += name;
    text_ += "\"\r\n\r\n";
    text_ += value;
    text_ += "\r\n";
    return *this;
}

MultipartBuilder& MultipartBuilder::Field(const char* name, int value) { return Field(name, std::to_string(value)); }

MultipartBuilder& MultipartBuilder::FileHeader(const char* name) {
    OpenPart();
    text_ += "name=\"";
    text_ += name;
    text_ += "\"; filename=\"\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    return *this;
}

MultipartBuilder& MultipartBuilder::ContinueAfterFile() {
    text_.clear();
    afterFile_ = true;
    return *this;
}

std::string MultipartBuilder::Finish() {
    std::string body = std::move(text_);
    body += afterFile_ ? "\r\n--" : "--";
    body += kBoundary;
    body += "--";
    text_.clear();
    afterFile_ = false;
    return body;
}

}  // namespace client
