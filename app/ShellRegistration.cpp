#include "ShellRegistration.h"

#include <windows.h>

#include "common/Handle.h"

namespace app {

namespace {

// Creates (or opens) `name` below `parent` with write access; empty on failure.
win::RegKey CreateKey(HKEY parent, const char* name) {
    win::RegKey key;
    if (!parent) return key;
    if (::RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.Receive(),
                          nullptr) != ERROR_SUCCESS)
        key.Detach();
    return key;
}

void SetText(const win::RegKey& key, const char* value, const std::string& data) {
    if (!key) return;
    ::RegSetValueExA(key.Get(), value, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>(data.size() + 1));
}

std::string DirectoryOf(const std::string& modulePath) {
    size_t slash = modulePath.rfind('\\');
    return slash == std::string::npos ? std::string() : modulePath.substr(0, slash + 1);
}

}  // namespace

void RegisterShell(const std::string& modulePath, const std::string& menuName) {
    // Torrent file association.
    {
        win::RegKey torrent = CreateKey(HKEY_CLASSES_ROOT, ".torrent");
        SetText(torrent, nullptr, "Quarrow_Torrent");
        win::RegKey progId = CreateKey(HKEY_CLASSES_ROOT, "Quarrow_Torrent");
        win::RegKey shell = CreateKey(progId.Get(), "shell");
        win::RegKey open = CreateKey(shell.Get(), "open");
        win::RegKey command = CreateKey(open.Get(), "command");
        SetText(command, nullptr, "\"" + modulePath + "\" /f \"%1\"");
    }
    const std::string directory = DirectoryOf(modulePath);
    // The browser add-in's class.
    {
        win::RegKey progId = CreateKey(HKEY_CLASSES_ROOT, "Brevlet.QuarrowBrevlet");
        win::RegKey clsid = CreateKey(progId.Get(), "CLSID");
        SetText(clsid, nullptr, kBrevletClsid);

        win::RegKey clsidRoot;
        if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_WRITE, clsidRoot.Receive()) != ERROR_SUCCESS)
            clsidRoot.Detach();
        win::RegKey classKey = CreateKey(clsidRoot.Get(), kBrevletClsid);
        win::RegKey server = CreateKey(classKey.Get(), "InprocServer32");
        SetText(server, nullptr, directory + "Brevlet.dll");
        SetText(server, "ThreadingModel", "apartment");
    }
    // The browser's context-menu entry.
    {
        win::RegKey explorer;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer", 0, KEY_WRITE,
                            explorer.Receive()) != ERROR_SUCCESS)
            explorer.Detach();
        win::RegKey menuExt = CreateKey(explorer.Get(), "MenuExt");
        win::RegKey entry = CreateKey(menuExt.Get(), menuName.c_str());
        SetText(entry, nullptr, directory + "GetUrl.htm");
        if (entry) {
            DWORD contexts = 0x22;  // links and images
            ::RegSetValueExA(entry.Get(), "Contexts", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&contexts),
                             sizeof contexts);
        }
    }
}

void UnregisterShell(const std::string& menuName) {
    // Bottom-up; a key that cannot be deleted is skipped. ".torrent" stays.
    const std::string keys[] = {
        "Quarrow_Torrent\\shell\\open\\command",
        "Quarrow_Torrent\\shell\\open",
        "Quarrow_Torrent\\shell",
        "Quarrow_Torrent",
        "Brevlet.QuarrowBrevlet\\CLSID",
        "Brevlet.QuarrowBrevlet",
        std::string("CLSID\\") + kBrevletClsid + "\\InprocServer32",
        std::string("CLSID\\") + kBrevletClsid,
    };
    for (const std::string& key : keys) ::RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, ("Software\\Microsoft\\Internet Explorer\\MenuExt\\" + menuName).c_str());
}

}  // namespace app
