// The login prompt: user name, password and "remember", for one server.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "client/LogIn.h"
#include "common/Dialog.h"

namespace dialogs {

class CLogInDlg : public win::CDialog {
public:
    // `givenUp` (optional) is polled while the dialog is open; once it says
    // so, the dialog closes as cancelled.
    explicit CLogInDlg(std::string displayText, std::function<bool()> givenUp = nullptr);

    // Modal; on OK the members hold what the user confirmed. Every showing
    // starts from the members, so a second prompt shows the first input.
    INT_PTR Show(HWND parent);

    std::string user;
    std::string password;
    int remember = 0;

private:
    BOOL OnInitDialog() override;
    void OnOk();
    std::string displayText_;
    std::function<bool()> givenUp_;
    HICON icon_ = nullptr;
};

// The program's login prompt: one CLogInDlg per login, shown on the thread
// that asks (the operation worker).
class CLogInPrompt : public client::ILoginPrompt {
public:
    CLogInPrompt(const std::string& displayText, std::function<bool()> givenUp)
        : dialog_(displayText, std::move(givenUp)) {}
    bool Ask(std::string& user, std::string& password, bool& remember) override;

private:
    CLogInDlg dialog_;
};

// The factory the program installs in its device client.
client::LoginPromptFactory LogInDialogFactory();

}  // namespace dialogs
