#include "browserhost/NativeMessage.h"

#include <cstring>

#include "dialogs/UrlText.h"

namespace browserhost {

const char kTooLongForCommandLine[] = "The link is too long to hand over to Quarrow.";
const char kNotStarted[] = "Quarrow could not be started: Quarrow.exe was not found beside QuarrowHost.exe.";
const char kTooLarge[] = "The browser sent a message larger than QuarrowHost takes.";
const char kTruncated[] = "The browser's message ended early.";

namespace {

constexpr int kMaxDepth = 32;

// A recursive-descent reader that checks the whole text and keeps only what the caller needs:
// the members of the outermost object.
class JsonReader {
public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    bool TopObject(std::vector<JsonMember>& members) {
        SkipBlanks();
        if (!Peek('{')) return false;
        if (!Object(1, &members)) return false;
        SkipBlanks();
        return pos_ == text_.size();
    }

private:
    bool AtEnd() const { return pos_ >= text_.size(); }
    bool Peek(char c) const { return !AtEnd() && text_[pos_] == c; }
    bool Take(char c) {
        if (!Peek(c)) return false;
        ++pos_;
        return true;
    }
    void SkipBlanks() {
        while (!AtEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n' || text_[pos_] == '\r'))
            ++pos_;
    }
    bool Word(const char* word) {
        const size_t length = std::strlen(word);
        if (text_.substr(pos_, length) != word) return false;
        pos_ += length;
        return true;
    }

    bool Value(int depth, JsonMember::Kind& kind, std::wstring* text) {
        SkipBlanks();
        if (AtEnd()) return false;
        switch (text_[pos_]) {
        case '{':
            kind = JsonMember::Kind::Object;
            return Object(depth + 1, nullptr);
        case '[':
            kind = JsonMember::Kind::Array;
            return Array(depth + 1);
        case '"':
            kind = JsonMember::Kind::String;
            return String(text);
        case 't':
            kind = JsonMember::Kind::Bool;
            return Word("true");
        case 'f':
            kind = JsonMember::Kind::Bool;
            return Word("false");
        case 'n':
            kind = JsonMember::Kind::Null;
            return Word("null");
        default:
            kind = JsonMember::Kind::Number;
            return Number();
        }
    }

    bool Object(int depth, std::vector<JsonMember>* members) {
        if (depth > kMaxDepth || !Take('{')) return false;
        SkipBlanks();
        if (Take('}')) return true;
        for (;;) {
            SkipBlanks();
            JsonMember member;
            if (!Peek('"') || !String(&member.name)) return false;
            SkipBlanks();
            if (!Take(':')) return false;
            std::wstring* text = members ? &member.text : nullptr;
            if (!Value(depth, member.kind, text)) return false;
            if (members) {
                // Two values for one name leave it open which one counts: refuse the request.
                for (const JsonMember& seen : *members)
                    if (seen.name == member.name) return false;
                members->push_back(std::move(member));
            }
            SkipBlanks();
            if (Take('}')) return true;
            if (!Take(',')) return false;
        }
    }

    bool Array(int depth) {
        if (depth > kMaxDepth || !Take('[')) return false;
        SkipBlanks();
        if (Take(']')) return true;
        for (;;) {
            JsonMember::Kind kind;
            if (!Value(depth, kind, nullptr)) return false;
            SkipBlanks();
            if (Take(']')) return true;
            if (!Take(',')) return false;
        }
    }

    bool Digits() {
        const size_t start = pos_;
        while (!AtEnd() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
        return pos_ > start;
    }

    bool Number() {
        Take('-');
        if (Take('0')) {
            if (!AtEnd() && text_[pos_] >= '0' && text_[pos_] <= '9') return false;  // no leading zeros
        } else if (!Digits()) {
            return false;
        }
        if (Take('.') && !Digits()) return false;
        if (Take('e') || Take('E')) {
            if (!Take('+')) Take('-');
            if (!Digits()) return false;
        }
        return true;
    }

    bool Hex4(unsigned& value) {
        if (text_.size() - pos_ < 4) return false;
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            value <<= 4;
            if (c >= '0' && c <= '9')
                value |= static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                value |= static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                value |= static_cast<unsigned>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    // One UTF-8 sequence, shortest form only, no surrogates, nothing above U+10FFFF.
    bool Utf8(unsigned& code) {
        const unsigned char lead = static_cast<unsigned char>(text_[pos_++]);
        int more;
        unsigned minimum;
        if (lead < 0x80) {
            code = lead;
            return true;
        }
        if (lead >= 0xC2 && lead <= 0xDF) {
            code = lead & 0x1F;
            more = 1;
            minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            code = lead & 0x0F;
            more = 2;
            minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            code = lead & 0x07;
            more = 3;
            minimum = 0x10000;
        } else
            return false;
        for (int i = 0; i < more; ++i) {
            if (AtEnd()) return false;
            const unsigned char next = static_cast<unsigned char>(text_[pos_]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
            ++pos_;
        }
        return code >= minimum && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    }

    static void Append(std::wstring* text, unsigned code) {
        if (!text) return;
        if (code >= 0x10000) {
            code -= 0x10000;
            *text += static_cast<wchar_t>(0xD800 + (code >> 10));
            *text += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
        } else {
            *text += static_cast<wchar_t>(code);
        }
    }

    bool String(std::wstring* text) {
        if (!Take('"')) return false;
        for (;;) {
            if (AtEnd()) return false;
            const char c = text_[pos_];
            if (c == '"') {
                ++pos_;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) return false;  // raw control characters are not JSON
            if (c != '\\') {
                unsigned code;
                if (!Utf8(code)) return false;
                Append(text, code);
                continue;
            }
            ++pos_;
            if (AtEnd()) return false;
            const char escape = text_[pos_++];
            unsigned code;
            switch (escape) {
            case '"':
                code = '"';
                break;
            case '\\':
                code = '\\';
                break;
            case '/':
                code = '/';
                break;
            case 'b':
                code = '\b';
                break;
            case 'f':
                code = '\f';
                break;
            case 'n':
                code = '\n';
                break;
            case 'r':
                code = '\r';
                break;
            case 't':
                code = '\t';
                break;
            case 'u': {
                if (!Hex4(code)) return false;
                if (code >= 0xDC00 && code <= 0xDFFF) return false;
                if (code >= 0xD800 && code <= 0xDBFF) {
                    // Only a whole pair is a character; half of one is not text a link can hold.
                    unsigned low;
                    if (!Take('\\') || !Take('u') || !Hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                break;
            }
            default:
                return false;
            }
            Append(text, code);
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
};

const JsonMember* Find(const std::vector<JsonMember>& members, std::wstring_view name) {
    for (const JsonMember& member : members)
        if (member.name == name) return &member;
    return nullptr;
}

// The link's scheme as Quarrow checks it when the link arrives. The scheme is plain ASCII,
// so the link's first characters decide it whatever else it holds.
bool QuarrowTakesScheme(std::wstring_view link) {
    std::string head;
    for (wchar_t c : link.substr(0, 8)) head += (c < 0x80) ? static_cast<char>(c) : '?';
    return dialogs::HasUrlScheme(head);
}

void AppendJsonText(std::string& out, std::string_view text) {
    static const char digits[] = "0123456789abcdef";
    out += '"';
    for (char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += digits[byte >> 4];
            out += digits[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

}  // namespace

bool ParseJsonObject(std::string_view text, std::vector<JsonMember>& members) {
    members.clear();
    if (JsonReader(text).TopObject(members)) return true;
    members.clear();
    return false;
}

std::string CheckLinkRequest(std::string_view body, LinkRequest& request) {
    request = {};
    std::vector<JsonMember> members;
    if (!ParseJsonObject(body, members)) return "The browser's message is not a JSON object.";
    const JsonMember* url = Find(members, L"url");
    if (!url) return "The browser's message holds no link.";
    if (url->kind != JsonMember::Kind::String) return "The link in the browser's message is not text.";
    const JsonMember* charset = Find(members, L"charset");
    if (charset && charset->kind != JsonMember::Kind::String)
        return "The character set in the browser's message is not text.";
    for (wchar_t c : url->text)
        if (c < 0x20 || c == 0x7F) return "The link holds control characters.";
    if (!QuarrowTakesScheme(url->text)) return "Quarrow downloads only links that start with http:// or ftp://.";
    request.link = url->text;
    if (charset) request.charset = charset->text;
    return {};
}

std::string Frame(std::string_view json) {
    const uint32_t length = static_cast<uint32_t>(json.size());
    std::string frame(sizeof length, '\0');
    std::memcpy(frame.data(), &length, sizeof length);  // the machine's own byte order
    frame += json;
    return frame;
}

std::string OkReply() { return Frame("{\"ok\":true}"); }

std::string ErrorReply(std::string_view text) {
    std::string json = "{\"ok\":false,\"error\":";
    AppendJsonText(json, text);
    json += '}';
    return Frame(json);
}

}  // namespace browserhost
