// multipart/form-data bodies as the server's form handlers read them: a fixed
// boundary, parts in the caller's order, values inserted without escaping.
#pragma once
#include <string>

namespace client {

inline constexpr char kBoundary[] = "/////////////////";
inline constexpr char kMultipartHeader[] = "Content-Type: multipart/form-data; boundary=/////////////////";

class MultipartBuilder {
public:
    MultipartBuilder& Field(const char* name, const std::string& value);
    MultipartBuilder& Field(const char* name, int value);
    // Header of the file part; the caller appends the file bytes and then
    // continues with ContinueAfterFile().
    MultipartBuilder& FileHeader(const char* name);
    // The first part after the file bytes starts with a line break.
    MultipartBuilder& ContinueAfterFile();
    // Closing delimiter, with no line break after it.
    std::string Finish();
    // The text built so far, without the closing delimiter.
    const std::string& Text() const { return text_; }

private:
    void OpenPart();
    std::string text_;
    bool afterFile_ = false;
};

}  // namespace client
