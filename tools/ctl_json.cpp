#include "tools/ctl_json.h"

#include <windows.h>

#include <climits>

namespace ctl {

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

int ConvertAnsi(const char* bytes, size_t size, wchar_t* out, int room) {
    if (size > INT_MAX) return 0;
    return ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(size), out, room);
}

void AppendUtf8(std::string& out, unsigned long c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHigh(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::wstring AnsiToWide(std::string_view ansi) {
    if (ansi.empty()) return {};
    const int whole = ConvertAnsi(ansi.data(), ansi.size(), nullptr, 0);
    if (whole > 0) {
        std::wstring wide(static_cast<size_t>(whole), L'\0');
        ConvertAnsi(ansi.data(), ansi.size(), wide.data(), whole);
        return wide;
    }
    // Something in it is no character of the code page: take one character
    // at a time, trying each length a character of this code page can have.
    CPINFO info = {};
    const size_t longest = ::GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 0 ? info.MaxCharSize : 2;
    std::wstring wide;
    wide.reserve(ansi.size());
    for (size_t i = 0; i < ansi.size();) {
        wchar_t units[8];
        int got = 0;
        size_t used = 1;
        for (size_t length = 1; length <= longest && i + length <= ansi.size(); ++length) {
            got = ConvertAnsi(ansi.data() + i, length, units, 8);
            if (got > 0) {
                used = length;
                break;
            }
        }
        if (got > 0)
            wide.append(units, static_cast<size_t>(got));
        else
            wide += kReplacement;
        i += used;
    }
    return wide;
}

std::string JsonString(std::wstring_view text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        switch (c) {
        case L'"':
            out += "\\\"";
            continue;
        case L'\\':
            out += "\\\\";
            continue;
        case L'\b':
            out += "\\b";
            continue;
        case L'\f':
            out += "\\f";
            continue;
        case L'\n':
            out += "\\n";
            continue;
        case L'\r':
            out += "\\r";
            continue;
        case L'\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
            AppendUtf8(out, 0x10000 + ((static_cast<unsigned long>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (IsHigh(c) || IsLow(c)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, c);
        }
    }
    out += '"';
    return out;
}

JsonWriter& JsonWriter::Open(char open, char close) {
    BeforeValue();
    out_ += open;
    levels_.push_back({close, true});
    return *this;
}

JsonWriter& JsonWriter::End() {
    if (levels_.empty()) return *this;
    const Level level = levels_.back();
    levels_.pop_back();
    if (!level.empty) {
        out_ += '\n';
        out_.append(levels_.size() * 2, ' ');
    }
    out_ += level.close;
    return *this;
}

// Each member and element on a line of its own, commas between them.
void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (levels_.empty()) return;
    Level& level = levels_.back();
    if (!level.empty) out_ += ',';
    level.empty = false;
    out_ += '\n';
    out_.append(levels_.size() * 2, ' ');
}

void JsonWriter::Raw(const std::string& text) {
    BeforeValue();
    out_ += text;
}

JsonWriter& JsonWriter::Key(std::string_view name) {
    Raw(JsonString(std::wstring(name.begin(), name.end())));
    out_ += ": ";
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::Text(std::string_view ansi) {
    Raw(JsonString(AnsiToWide(ansi)));
    return *this;
}

JsonWriter& JsonWriter::Number(long long value) {
    Raw(std::to_string(value));
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    Raw(value ? "true" : "false");
    return *this;
}

}  // namespace ctl
