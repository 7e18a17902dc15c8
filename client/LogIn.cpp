#include "client/LogIn.h"

#include "client/ReplyCode.h"
#include "common/WinUtil.h"

namespace client {

namespace {

// The address names a subkey: one that would name a deeper key (or none) is
// not used for remembering.
bool UsableSubkeyName(const std::string& address) {
    return !address.empty() && address.find('\\') == std::string::npos;
}

}  // namespace

void RegistryLoginStore::Read(const std::string& address, std::string& user, std::string& password) {
    user.clear();
    password.clear();
    if (!UsableSubkeyName(address)) return;
    win::RegKey key = win::OpenRegKey(HKEY_CURRENT_USER, key_ + "\\" + address, KEY_READ);
    user = win::ReadRegString(key.Get(), "User");
    password = win::ReadRegString(key.Get(), "Password");
}

void RegistryLoginStore::Remember(const std::string& address, const std::string& user, const std::string& password) {
    if (!UsableSubkeyName(address)) return;
    // Only below the program's own key, never creating it.
    win::RegKey main = win::OpenRegKey(HKEY_CURRENT_USER, key_, KEY_ALL_ACCESS);
    if (!main) return;
    win::RegKey sub = win::CreateRegKey(main.Get(), address, KEY_ALL_ACCESS);
    win::WriteRegString(sub.Get(), "User", user);
    win::WriteRegString(sub.Get(), "Password", password);
}

void RegistryLoginStore::Forget(const std::string& address) {
    if (!UsableSubkeyName(address)) return;
    win::RegKey main = win::OpenRegKey(HKEY_CURRENT_USER, key_, KEY_ALL_ACCESS);
    if (!main) return;
    {
        win::RegKey sub = win::OpenRegKey(main.Get(), address, KEY_ALL_ACCESS);
        if (!sub) return;
        ::RegDeleteValueA(sub.Get(), "User");
        ::RegDeleteValueA(sub.Get(), "Password");
        // The subkey holds more than the credentials (the jobs already told
        // about, for one): only an empty one goes.
        DWORD subkeys = 0, values = 0;
        if (::RegQueryInfoKeyA(sub.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                               nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            subkeys != 0 || values != 0)
            return;
    }
    ::RegDeleteKeyA(main.Get(), address.c_str());
}

LoginOutcome LogIn(const std::string& displayText, const std::string& address, HINTERNET session,
                   const std::shared_ptr<GiveUpFlag>& givenUp, const LoginHooks& hooks, SharedInternetHandle& slot,
                   std::string& authorization) {
    std::string user, password;
    if (hooks.store) hooks.store->Read(address, user, password);
    std::unique_ptr<ILoginPrompt> prompt;  // made at the first refusal, kept for every retry
    for (;;) {
        slot = ShareInternetHandle(::InternetConnectA(session, address.c_str(), INTERNET_DEFAULT_HTTP_PORT, user.c_str(),
                                                      password.c_str(), INTERNET_SERVICE_HTTP, 0, 1));
        if (!slot) return LoginOutcome::Error;
        RequestContext ctx{static_cast<HINTERNET>(slot.get()), givenUp, {}};
        const DWORD status = ProbeStatusPage(ctx, &authorization);
        if (status != 401) {
            if (status != 0 && status != 404) return LoginOutcome::Connected;
            slot.reset();
            authorization.clear();
            return status == 404 ? LoginOutcome::NotFound : LoginOutcome::Error;
        }
        slot.reset();
        authorization.clear();
        if (!prompt && hooks.prompt)
            prompt = hooks.prompt(displayText, [givenUp] { return givenUp && givenUp->IsSet(); });
        bool remember = false;
        if (!prompt || !prompt->Ask(user, password, remember)) return LoginOutcome::Cancelled;
        // Given up (time-out) while the prompt was open: nobody waits for this login any more.
        if (givenUp && givenUp->IsSet()) return LoginOutcome::Error;
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
