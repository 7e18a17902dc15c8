#include "CSConvertor.h"

#include <windows.h>

#include <climits>
#include <cstdio>

#include "common/Handle.h"

namespace client {

namespace {

// charset.csv is a handful of lines; anything this big is not ours.
constexpr LONGLONG kMaxCharsetFileBytes = 1024 * 1024;

}  // namespace

int ReadDecimal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

std::wstring CCSConvertor::ToWide(const std::string& text, int codePage) {
    if (text.empty()) return {};
    const UINT page = static_cast<UINT>(codePage);
    int length = ::MultiByteToWideChar(page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(page, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string CCSConvertor::FromWide(const wchar_t* text, size_t length, int codePage) {
    if (!text || length == 0) return {};
    const UINT page = static_cast<UINT>(codePage);
    // Characters the code page lacks become its default character.
    int size = ::WideCharToMultiByte(page, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string out(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(page, 0, text, static_cast<int>(length), out.data(), size, nullptr, nullptr);
    return out;
}

int CCSConvertor::LoadCharsetFile(const std::string& path) {
    entries_.clear();
    win::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > kMaxCharsetFileBytes) return 0;
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() && !::ReadFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr))
        return 0;
    text.resize(read);
    LoadCharsetText(text);
    return 1;
}

void CCSConvertor::LoadCharsetText(const std::string& text) {
    entries_.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        // Files edited on Windows end their lines with CR LF.
        if (!line.empty() && line.back() == '\r') line.pop_back();

        size_t first = line.find(',');
        if (first == std::string::npos) continue;
        size_t second = line.find(',', first + 1);
        if (second == std::string::npos) continue;
        stcs entry;
        entry.displayName = line.substr(0, first);
        entry.charsetName = line.substr(first + 1, second - first - 1);
        if (entry.displayName.empty() || entry.charsetName.empty()) continue;
        entry.codePage = ReadDecimal(line.substr(second + 1));
        entries_.push_back(std::move(entry));
    }
}

int CCSConvertor::CodePageFromName(const std::string& charsetName) const {
    for (const stcs& entry : entries_)
        if (entry.charsetName == charsetName) return entry.codePage;
    return 0;
}

std::string CCSConvertor::NameFromCodePage(int codePage) const {
    for (const stcs& entry : entries_)
        if (entry.codePage == codePage) return entry.displayName;
    return {};
}

std::string CCSConvertor::EncodeForCodePage(const std::string& ansiText, int codePage) {
    return EncodeWideForCodePage(ToWide(ansiText, CP_ACP), codePage);
}

bool CCSConvertor::CanEncodeTo(int codePage) {
    char byte[8];
    return codePage > 0 && ::IsValidCodePage(static_cast<UINT>(codePage)) &&
           ::WideCharToMultiByte(static_cast<UINT>(codePage), 0, L"a", 1, byte, sizeof byte, nullptr, nullptr) > 0;
}

std::string CCSConvertor::EncodeWideForCodePage(const std::wstring& text, int codePage) {
    // UTF-7 and UTF-8 refuse a substitute character; every other page gets "?".
    const bool noSubstitute = codePage == 65000 || codePage == 65001;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        // A character outside the basic plane is a pair of units, converted together.
        const int units = IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]) ? 2 : 1;
        char bytes[16] = {};
        int count = ::WideCharToMultiByte(static_cast<UINT>(codePage), 0, &text[i], units, bytes, sizeof bytes,
                                          noSubstitute ? nullptr : "?", nullptr);
        // A link with characters left out would name something else: none at all.
        if (count <= 0) return {};
        i += static_cast<size_t>(units);
        if (count == 1) {
            out += bytes[0];
        } else {
            for (int k = 0; k < count; ++k) {
                char escape[4];
                std::snprintf(escape, sizeof escape, "%%%02X", static_cast<unsigned char>(bytes[k]));
                out += escape;
            }
        }
    }
    return out;
}

std::string CCSConvertor::ConvertToAnsi(const std::string& text, int codePage) {
    std::wstring wide = ToWide(text, codePage);
    std::string ansi = FromWide(wide.data(), wide.size(), CP_ACP);
    // The result never grows beyond the input's size. From UTF-8 it cannot
    // (no character takes more ANSI bytes than UTF-8 bytes); from other pages
    // the cut falls on a character boundary so no lead byte is left dangling.
    if (ansi.size() > text.size()) {
        size_t keep = 0;
        for (size_t i = 0; i < ansi.size();) {
            size_t step = ::IsDBCSLeadByte(static_cast<BYTE>(ansi[i])) ? 2 : 1;
            if (i + step > text.size()) break;
            i += step;
            keep = i;
        }
        ansi.resize(keep);
    }
    return ansi;
}

std::string CCSConvertor::DefaultEncodeUrl(const std::string& url) {
    const int ansiPage = static_cast<int>(::GetACP());
    std::string scheme = url.substr(0, 4);
    for (char& c : scheme)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    // FTP servers take names in the PC's own code page; web servers expect
    // UTF-8 in the path and the page's code page in the query.
    if (scheme == "ftp:") return EncodeForCodePage(url, ansiPage);
    size_t question = url.find('?');
    if (question == std::string::npos) return EncodeForCodePage(url, GetUtf8CodePage());
    return EncodeForCodePage(url.substr(0, question), GetUtf8CodePage()) + "?" +
           EncodeForCodePage(url.substr(question + 1), ansiPage);
}

std::string ReplaceAnsi(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) return text;
    size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, from.size(), from) == 0) {
            text.replace(i, from.size(), to);
            i += to.size();
        } else {
            i += ::IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size() ? 2 : 1;
        }
    }
    return text;
}

std::string CaretEscape(const std::string& text) {
    // The caret goes first so that the carets brought in by the others stay single.
    static const char* const kTable[][2] = {
        {"^", "^^"},  {"+", "^2B"}, {" ", "^20"}, {"/", "^2F"}, {"=", "^3D"}, {"%", "^25"},
        {"?", "^3F"}, {"&", "^26"}, {"#", "^23"}, {"@", "^40"}, {";", "^3B"}, {"$", "^24"},
    };
    std::string out = text;
    for (const auto& entry : kTable) out = ReplaceAnsi(std::move(out), entry[0], entry[1]);
    return out;
}

}  // namespace client
