#include "dialogs/LogInDlg.h"

#include "resources/resource.h"
#include "dialogs/DialogText.h"

namespace dialogs {

namespace {
constexpr UINT_PTR kGivenUpTimer = 1;
constexpr UINT kGivenUpPollMs = 500;
}  // namespace

CLogInDlg::CLogInDlg(std::string displayText, std::function<bool()> givenUp)
    : displayText_(std::move(displayText)), givenUp_(std::move(givenUp)) {
    // Nobody waits for the answer any more once the operation has timed out.
    OnTimer([this](UINT_PTR id) {
        if (id == kGivenUpTimer && givenUp_ && givenUp_()) End(IDCANCEL);
    });
    OnClicked(IDOK, [this] { OnOk(); });
    OnClicked(IDCANCEL, [this] { End(IDCANCEL); });
    // Minimised, the dialog shows the program's icon.
    // A handled WM_PAINT must validate the window in either state, or it comes back for ever.
    OnMessage(WM_PAINT, [this](WPARAM, LPARAM) -> INT_PTR {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(Hwnd(), &paint);
        if (::IsIconic(Hwnd())) {
            RECT rc;
            ::GetClientRect(Hwnd(), &rc);
            int x = (rc.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
            int y = (rc.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
            ::DrawIcon(dc, x, y, icon_);
        }
        ::EndPaint(Hwnd(), &paint);
        return TRUE;
    });
    OnMessage(WM_QUERYDRAGICON, [this](WPARAM, LPARAM) { return reinterpret_cast<INT_PTR>(icon_); });
}

INT_PTR CLogInDlg::Show(HWND parent) { return DoModal(::GetModuleHandleA(nullptr), IDD_LOGIN, parent); }

BOOL CLogInDlg::OnInitDialog() {
    icon_ = ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_QUARROW));
    ::SendMessageA(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SetText(FormatWithText(win::LoadResString(IDS_LOGIN_CAPTION_FMT), displayText_));
    SetItemTexts({{IDC_LOGIN_USER_LABEL, IDS_LOGIN_USER},
                  {IDC_LOGIN_PASSWORD_LABEL, IDS_LOGIN_PASSWORD},
                  {IDC_LOGIN_REMEMBER, IDS_LOGIN_REMEMBER},
                  {IDOK, IDS_LOGIN_OK},
                  {IDCANCEL, IDS_LOGIN_CANCEL}});
    SetItemText(IDC_LOGIN_USER, user);
    SetItemText(IDC_LOGIN_PASSWORD, password);
    CheckButton(IDC_LOGIN_REMEMBER, remember != 0);
    if (givenUp_) ::SetTimer(Hwnd(), kGivenUpTimer, kGivenUpPollMs, nullptr);
    // Shown from the worker thread over the wait dialog: bring it to the front
    // so that typing goes to it at once.
    ::SetForegroundWindow(Hwnd());
    FocusItem(IDC_LOGIN_USER);
    return FALSE;  // the focus is set
}

void CLogInDlg::OnOk() {
    user = GetItemText(IDC_LOGIN_USER);
    password = GetItemText(IDC_LOGIN_PASSWORD);
    remember = IsButtonChecked(IDC_LOGIN_REMEMBER) ? 1 : 0;
    End(IDOK);
}

bool CLogInPrompt::Ask(std::string& user, std::string& password, bool& remember) {
    // No owner: the window thread is inside the wait dialog's modal loop, and
    // this runs on the operation's worker thread with a loop of its own.
    if (dialog_.Show(nullptr) != IDOK) return false;
    user = dialog_.user;
    password = dialog_.password;
    remember = dialog_.remember != 0;
    return true;
}

client::LoginPromptFactory LogInDialogFactory() {
    return [](const std::string& displayText, std::function<bool()> givenUp) -> std::unique_ptr<client::ILoginPrompt> {
        return std::make_unique<CLogInPrompt>(displayText, std::move(givenUp));
    };
}

}  // namespace dialogs
