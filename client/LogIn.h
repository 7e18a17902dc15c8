// The login loop behind Connect: open the connection with the remembered
// credentials, probe it with the status page, and ask the user again for as
// long as the server answers 401. Runs on the operation's worker thread; the
// prompt itself is the program's (a dialog), reached through ILoginPrompt so
// that the client stays free of windows.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <functional>
#include <memory>
#include <string>

#include "client/HttpTransport.h"
#include "common/Handle.h"

namespace client {

enum class LoginOutcome : int {
    Connected = 0,  // a status other than 401 and 404
    Cancelled = 1,  // the user cancelled the prompt
    Error = 2,      // a transport failure
    NotFound = 3,   // the server answered 404
};

// One prompt object serves every retry of one login, so that it shows again
// what the user typed before.
class ILoginPrompt {
public:
    virtual ~ILoginPrompt() = default;
    // Shows the prompt; true for OK, with what the user confirmed.
    virtual bool Ask(std::string& user, std::string& password, bool& remember) = 0;
};

// Makes the prompt of one login, given the server's display text and a test
// that tells whether the operation has been given up (its time-out), so that
// an open prompt can close itself then.
using LoginPromptFactory =
    std::function<std::unique_ptr<ILoginPrompt>(const std::string& displayText, std::function<bool()> givenUp)>;

// Where remembered credentials live, per server address (the program keeps
// them in its settings: settings::RegistryLoginStore).
class ILoginStore {
public:
    virtual ~ILoginStore() = default;
    virtual void Read(const std::string& address, std::string& user, std::string& password) = 0;
    virtual void Remember(const std::string& address, const std::string& user, const std::string& password) = 0;
    virtual void Forget(const std::string& address) = 0;
};

// Credentials given once, for example on a command line; nothing is stored.
class FixedLoginStore : public ILoginStore {
public:
    FixedLoginStore(std::string user, std::string password) : user_(std::move(user)), password_(std::move(password)) {}
    void Read(const std::string&, std::string& user, std::string& password) override {
        user = user_;
        password = password_;
    }
    void Remember(const std::string&, const std::string&, const std::string&) override {}
    void Forget(const std::string&) override {}

private:
    std::string user_, password_;
};

// What a client is given to log in with: no store means empty credentials,
// no prompt means a refused login counts as cancelled.
struct LoginHooks {
    std::shared_ptr<ILoginStore> store;
    LoginPromptFactory prompt;
};

// Runs the login loop. On Connected the open connection is in `slot` and the
// Authorization header it succeeded with (if any) in `authorization`; on any
// other outcome `slot` is empty.
LoginOutcome LogIn(const std::string& displayText, const std::string& address, HINTERNET session,
                   const std::shared_ptr<GiveUpFlag>& givenUp, const LoginHooks& hooks, SharedInternetHandle& slot,
                   std::string& authorization);

// Connect's result code for an outcome: 0, 5501 for a cancel, else 5502.
int ConnectResult(LoginOutcome outcome);

}  // namespace client
