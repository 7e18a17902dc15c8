#include "WinUtil.h"

#include <vector>

namespace win {

std::string ModulePath(HMODULE module) {
    // Long paths: grow until the name fits rather than trusting MAX_PATH.
    std::vector<char> path(MAX_PATH);
    for (;;) {
        DWORD n = ::GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::string();
        if (n < path.size()) return std::string(path.data(), n);
        if (path.size() >= 32768) return std::string();
        path.resize(path.size() * 2);
    }
}

std::string ModuleDirectory(HMODULE module) {
    std::string path = ModulePath(module);
    size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

RegKey OpenRegKey(HKEY root, const std::string& path, REGSAM access) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS) return RegKey();
    return RegKey(key);
}

RegKey CreateRegKey(HKEY root, const std::string& path, REGSAM access) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return RegKey();
    return RegKey(key);
}

std::string ReadRegString(HKEY key, const char* value) {
    if (!key) return std::string();
    char data[1000] = {};
    DWORD size = sizeof data - 1;  // room for a terminator the value may lack
    DWORD type = 0;
    if (::RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return std::string();
    if (type != REG_SZ && type != REG_EXPAND_SZ) return std::string();
    return std::string(data, ::strnlen(data, size));
}

bool WriteRegString(HKEY key, const char* value, const std::string& data) {
    if (!key) return false;
    return ::RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

std::wstring AnsiToWide(const std::string& text, UINT codePage) {
    if (text.empty()) return std::wstring();
    int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string WideToAnsi(const std::wstring& text, UINT codePage) {
    if (text.empty()) return std::string();
    int n =
        ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string narrow(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), narrow.data(), n, nullptr, nullptr);
    return narrow;
}

}  // namespace win
