// The login prompt: user name, password and "remember", for one server.
#pragma once
#include <memory>
#include <string>

#include "client/LogIn.h"
#include "common/Dialog.h"

namespace dialogs {

class CLogInDlg : public win::CDialog {
public:
    explicit CLogInDlg(std::string displayText);

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
    HICON icon_ = nullptr;
};

// The program's login prompt: one CLogInDlg per login, shown on the thread
// that asks (the operation worker).
class CLogInPrompt : public client::ILoginPrompt {
public:
    explicit CLogInPrompt(const std::string& displayText) : dialog_(displayText) {}
    bool Ask(std::string& user, std::string& password, bool& remember) override;

private:
    CLogInDlg dialog_;
};

// The factory the program installs in its device client.
client::LoginPromptFactory LogInDialogFactory();

}  // namespace dialogs
