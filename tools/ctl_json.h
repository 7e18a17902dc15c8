// JSON for scripts: one document, UTF-8, indented by two spaces per level.
// Texts arrive in the PC's ANSI code page (as the device client keeps them);
// whatever bytes they hold, what comes out is valid JSON in valid UTF-8.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace ctl {

// ANSI text as UTF-16. Bytes that form no character of the code page (a lead
// byte without its trail byte, say) become U+FFFD each, rather than vanishing
// or turning into something that looks like real text.
std::wstring AnsiToWide(std::string_view ansi);

// A JSON string literal, quotes included, in UTF-8. Quotes, backslashes and
// control characters (C0, DEL and C1, which a terminal would act on) are
// escaped; a surrogate without its partner becomes U+FFFD.
std::string JsonString(std::wstring_view text);

// Builds one document value by value; containers nest. Keys are this
// program's own ASCII names and go out as given.
class JsonWriter {
public:
    JsonWriter& BeginObject() { return Open('{', '}'); }
    JsonWriter& BeginArray() { return Open('[', ']'); }
    JsonWriter& End();
    JsonWriter& Key(std::string_view name);
    JsonWriter& Text(std::string_view ansi);
    JsonWriter& Number(long long value);
    JsonWriter& Bool(bool value);

    // The document with a final line break.
    std::string Document() const { return out_ + "\n"; }

private:
    JsonWriter& Open(char open, char close);
    void BeforeValue();
    void Raw(const std::string& text);

    struct Level {
        char close;
        bool empty;
    };
    std::string out_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

}  // namespace ctl
