// The encoders that escape texts for the server: the caret escape of PC
// paths, percent-escapes of a code page's bytes, the "%" doubling of the add
// dialogs and the character-aware replacement under all of them.
// The first input byte chooses the model of the ANSI code page (bit 0:
// double-byte) and the percent encoder's code page (bits 1-2).
#include <cstddef>
#include <cstdint>
#include <string>

#include "client/CSConvertor.h"
#include "dialogs/UrlText.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/shim/windows.h"

using namespace client;

namespace {

bool IsSpecial(char c) { return std::string("^+ /=%?&#@;$").find(c) != std::string::npos; }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Undoes the caret escape character by character, as a server would read it.
// False when the text holds something the escape never writes.
bool CaretUnescape(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < text.size()) {
            out.append(text, i, 2);
            i += 2;
        } else if (c == '^') {
            if (i + 1 < text.size() && text[i + 1] == '^') {
                out += '^';
                i += 2;
            } else if (i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
                out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
                i += 3;
            } else {
                return false;
            }
        } else if (IsSpecial(c)) {
            return false;  // a special character left unescaped
        } else {
            out += c;
            ++i;
        }
    }
    return true;
}

// UTF-16 units back from UTF-8 bytes; false on a malformed sequence.
bool Utf8ToUnits(const std::string& bytes, std::wstring& units) {
    units.clear();
    for (size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const int extra = b < 0x80 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
        if (extra < 0 || i + extra >= bytes.size() + (extra ? 0 : 1)) return false;
        uint32_t c = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) c = (c << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3F);
        i += static_cast<size_t>(extra) + 1;
        if (c >= 0x10000) {
            units += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
            units += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            units += static_cast<wchar_t>(c);
        }
    }
    return true;
}

std::string PlainReplace(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

bool PlainIsRaw(const std::string& url) {
    for (size_t i = 0; i + 2 < url.size(); ++i)
        if (url[i] == '%' &&
            !(isxdigit(static_cast<unsigned char>(url[i + 1])) && isxdigit(static_cast<unsigned char>(url[i + 2]))))
            return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const bool doubleByte = data[0] & 1;
    static const int kCodePages[] = {65001, 65001, 1252, 0, 936, 12345, 65000, -1};
    const int codePage = kCodePages[(data[0] >> 1) & 7];
    fuzzshim::SetDoubleByteAnsi(doubleByte);
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    // Caret: every special character escaped, and the text comes back whole.
    const std::string escaped = CaretEscape(text);
    std::string back;
    FUZZ_CHECK(CaretUnescape(escaped, back));
    FUZZ_CHECK(back == text);

    // Percent: the text's bytes taken as UTF-16 units.
    std::wstring units;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        units +=
            static_cast<wchar_t>(static_cast<unsigned char>(text[i]) | (static_cast<unsigned char>(text[i + 1]) << 8));
    const std::string encoded = CCSConvertor::EncodeWideForCodePage(units, codePage);
    if (codePage == 65001) {
        FUZZ_CHECK(encoded.empty() == units.empty());
        bool percent = false, lone = false;
        for (size_t i = 0; i < units.size(); ++i) {
            const uint32_t u = static_cast<uint32_t>(units[i]);
            percent = percent || u == '%';
            if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
                ++i;
            else
                lone = lone || (u >= 0xD800 && u <= 0xDFFF);
        }
        std::string bytes;
        for (size_t i = 0; i < encoded.size(); ++i) {
            FUZZ_CHECK(static_cast<unsigned char>(encoded[i]) < 0x80);
            if (encoded[i] == '%' && i + 2 < encoded.size() && HexValue(encoded[i + 1]) >= 8 &&
                HexValue(encoded[i + 2]) >= 0) {
                bytes += static_cast<char>(HexValue(encoded[i + 1]) * 16 + HexValue(encoded[i + 2]));
                i += 2;
            } else {
                bytes += encoded[i];
            }
        }
        // Without a "%" of its own the text decodes unambiguously.
        std::wstring decoded;
        if (!percent) FUZZ_CHECK(Utf8ToUnits(bytes, decoded));
        if (!percent && !lone) FUZZ_CHECK(decoded == units);
    } else if (codePage == 12345 || codePage == -1 || codePage == 936 || codePage == 65000) {
        FUZZ_CHECK(encoded.empty());  // pages the system (here: the model) lacks give nothing, never a cut text
    } else {
        FUZZ_CHECK(encoded.size() >= units.size());
    }

    // The "%" doubling of the add dialogs.
    FUZZ_CHECK(dialogs::IsRawUrl(text) == PlainIsRaw(text));
    const std::string doubled = dialogs::DoublePercent(text);
    if (!doubleByte) {
        FUZZ_CHECK(doubled ==
                   (PlainIsRaw(text) ? PlainReplace(text, "%", "%2525") : PlainReplace(text, "%25", "%2525")));
        // The replacement itself, with the pattern and its substitute taken from the text.
        const size_t split = text.find('\x01');
        if (split != std::string::npos && split < 8) {
            const std::string from = text.substr(0, split);
            const std::string to = text.substr(split + 1, 4);
            FUZZ_CHECK(ReplaceAnsi(text, from, to) == PlainReplace(text, from, to));
        }
    }
    FUZZ_CHECK(doubled.size() >= text.size());
    return 0;
}
