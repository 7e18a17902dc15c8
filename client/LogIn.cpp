#include "client/LogIn.h"

#include "client/ReplyCode.h"

namespace client {

namespace {

constexpr DWORD kValueBufferSize = 1000;

// The address names a subkey: one that would name a deeper key (or none) is
// not used for remembering.
bool UsableSubkeyName(const std::string& address) {
    return !address.empty() && address.find('\\') == std::string::npos;
}

std::string ReadValue(HKEY key, const char* name) {
    char data[kValueBufferSize + 1] = {};
    DWORD size = kValueBufferSize, type = 0;
    if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::string();
    return std::string(data);
}

void WriteValue(HKEY key, const char* name, const std::string& text) {
    ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
}

}  // namespace

void RegistryLoginStore::Read(const std::string& address, std::string& user, std::string& password) {
    user.clear();
    password.clear();
    if (!UsableSubkeyName(address)) return;
    win::RegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, (key_ + "\\" + address).c_str(), 0, KEY_READ, key.Receive()) !=
        ERROR_SUCCESS)
        return;
    user = ReadValue(key.Get(), "User");
    password = ReadValue(key.Get(), "Password");
}

void RegistryLoginStore::Remember(const std::string& address, const std::string& user, const std::string& password) {
    if (!UsableSubkeyName(address)) return;
    win::RegKey main, sub;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_ALL_ACCESS, main.Receive()) != ERROR_SUCCESS) return;
    if (::RegCreateKeyExA(main.Get(), address.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, sub.Receive(),
                          nullptr) != ERROR_SUCCESS)
        return;
    WriteValue(sub.Get(), "User", user);
    WriteValue(sub.Get(), "Password", password);
}

void RegistryLoginStore::Forget(const std::string& address) {
    if (!UsableSubkeyName(address)) return;
    win::RegKey main;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_ALL_ACCESS, main.Receive()) != ERROR_SUCCESS) return;
    {
        win::RegKey sub;
        if (::RegOpenKeyExA(main.Get(), address.c_str(), 0, KEY_ALL_ACCESS, sub.Receive()) != ERROR_SUCCESS) return;
        ::RegDeleteValueA(sub.Get(), "User");
        ::RegDeleteValueA(sub.Get(), "Password");
    }
    ::RegDeleteKeyA(main.Get(), address.c_str());
}

LoginOutcome LogIn(const std::string& displayText, const std::string& address, HINTERNET session,
                   const std::shared_ptr<AbortSlot>& abort, const LoginHooks& hooks, win::InternetHandle& slot) {
    std::string user, password;
    if (hooks.store) hooks.store->Read(address, user, password);
    std::unique_ptr<ILoginPrompt> prompt;  // made at the first refusal, kept for every retry
    for (;;) {
        slot.Attach(::InternetConnectA(session, address.c_str(), INTERNET_DEFAULT_HTTP_PORT, user.c_str(),
                                       password.c_str(), INTERNET_SERVICE_HTTP, 0, 1));
        if (!slot) return LoginOutcome::Error;
        RequestContext ctx{slot.Get(), abort};
        const DWORD status = ProbeStatusPage(ctx);
        if (status != 401) {
            if (status != 0 && status != 404) return LoginOutcome::Connected;
            slot.Close();
            return status == 404 ? LoginOutcome::NotFound : LoginOutcome::Error;
        }
        slot.Close();
        if (!prompt && hooks.prompt) prompt = hooks.prompt(displayText);
        bool remember = false;
        if (!prompt || !prompt->Ask(user, password, remember)) return LoginOutcome::Cancelled;
        // Given up (time-out) while the prompt was open: nobody waits for this login any more.
        if (abort && abort->Abandoned()) return LoginOutcome::Error;
        // Stored as soon as the user confirms, before the server has accepted them.
        if (hooks.store) {
            if (remember)
                hooks.store->Remember(address, user, password);
            else
                hooks.store->Forget(address);
        }
    }
}

int ConnectResult(LoginOutcome outcome) {
    switch (outcome) {
    case LoginOutcome::Connected:
        return kResultOk;
    case LoginOutcome::Cancelled:
        return kResultNotConnected;
    default:
        return kResultConnectError;
    }
}

}  // namespace client
