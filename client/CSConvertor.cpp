#include "client/CSConvertor.h"

#include <windows.h>

#include "common/Handle.h"

namespace client {

namespace {

// charset.csv is a handful of lines; anything this big is not ours.
constexpr LONGLONG kMaxCharsetFileBytes = 1024 * 1024;

}  // namespace

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

std::string CCSConvertor::EncodeForCodePage(const std::string& ansiText, int codePage) {
    return EncodeWideForCodePage(ToWide(ansiText, CP_ACP), codePage);
}

bool CCSConvertor::CanEncodeTo(int codePage) {
    char byte[8];
    return codePage > 0 && ::IsValidCodePage(static_cast<UINT>(codePage)) &&
           ::WideCharToMultiByte(static_cast<UINT>(codePage), 0, L"a", 1, byte, sizeof byte, nullptr, nullptr) > 0;
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

}  // namespace client
