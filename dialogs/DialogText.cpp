#include "dialogs/DialogText.h"

#include <cstdio>

#include "app/resource.h"
#include "common/Dialog.h"
#include "common/Handle.h"

namespace dialogs {

namespace {

constexpr DWORD kValueBufferSize = 1000;

bool OpenSettingsKey(const std::string& subkey, REGSAM access, win::RegKey& key) {
    std::string path = win::LoadResString(IDS_REGISTRY_KEY);
    if (!subkey.empty()) path += "\\" + subkey;
    return ::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, key.Receive()) == ERROR_SUCCESS;
}

}  // namespace

std::string ServerEntryText(const mgmt::stserver& server) {
    char address[32];
    std::snprintf(address, sizeof address, " (%d.%d.%d.%d)", server.address[0], server.address[1],
                  server.address[2], server.address[3]);
    return server.name + address;
}

bool SelectFirstAfterAppend(int currentSelection, int count) {
    return count > 0 && currentSelection <= 0;
}

int FindServer(const std::vector<mgmt::stserver>& servers, const mgmt::Ipv4& address) {
    for (size_t i = 0; i < servers.size(); ++i)
        if (servers[i].address == address) return static_cast<int>(i);
    return -1;
}

std::string ServerPath(const std::vector<std::string>& textsFromRoot) {
    if (textsFromRoot.empty()) return std::string();
    // A disk listed already in brackets is not bracketed twice.
    const std::string& disk = textsFromRoot.front();
    const bool bracketed = disk.size() >= 2 && disk.front() == '[' && disk.back() == ']';
    std::string path = bracketed ? disk : "[" + disk + "]";
    for (size_t i = 1; i < textsFromRoot.size(); ++i) path += textsFromRoot[i] + "\\";
    return path;
}

std::string FormatWithText(const std::string& format, const std::string& text) {
    size_t at = format.find("%s");
    if (at == std::string::npos) return format;
    return format.substr(0, at) + text + format.substr(at + 2);
}

std::string ReadSetting(const std::string& subkey, const char* value) {
    win::RegKey key;
    if (!OpenSettingsKey(subkey, KEY_READ, key)) return std::string();
    char data[kValueBufferSize + 1] = {};
    DWORD size = kValueBufferSize;
    DWORD type = 0;
    if (::RegQueryValueExA(key.Get(), value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    return std::string(data);  // the buffer stays terminated even for a value without its NUL
}

void WriteSettings(const std::vector<std::pair<const char*, std::string>>& values) {
    win::RegKey key;
    if (!OpenSettingsKey("", KEY_ALL_ACCESS, key)) return;
    for (const auto& [name, text] : values)
        ::RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(text.size() + 1));
}

void DeleteSettings(const std::vector<const char*>& values) {
    win::RegKey key;
    if (!OpenSettingsKey("", KEY_ALL_ACCESS, key)) return;
    for (const char* name : values) ::RegDeleteValueA(key.Get(), name);
}

void ShowMessage(HWND owner, UINT messageId) {
    ::MessageBoxA(owner, win::LoadResString(messageId).c_str(), "Quarrow", MB_OK);
}

}  // namespace dialogs
