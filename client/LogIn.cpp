#include "client/LogIn.h"

#include "client/ReplyCode.h"

namespace client {

LoginOutcome LogIn(const std::string& displayText, const std::string& address, HINTERNET session,
                   const std::shared_ptr<GiveUpFlag>& givenUp, const LoginHooks& hooks, SharedInternetHandle& slot,
                   std::string& authorization) {
    std::string user, password;
    if (hooks.store) hooks.store->Read(address, user, password);
    std::unique_ptr<ILoginPrompt> prompt;  // made at the first refusal, kept for every retry
    for (;;) {
        slot = ShareInternetHandle(::InternetConnectA(session, address.c_str(), INTERNET_DEFAULT_HTTP_PORT,
                                                      user.c_str(), password.c_str(), INTERNET_SERVICE_HTTP, 0, 1));
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
