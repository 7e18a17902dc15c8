// The wizard's pages: their numbers and ini sections, the controls their
// sections may name, and each page as an object that says what happens when
// it is entered and what its Next and Prev buttons check and store; one table
// says where each button leads. The dialog (KestaneDlg) lays the pages out
// from the ini files, moves between them and runs the server exchanges.
#pragma once
#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "protocol/Packets.h"
#include "wizard/KestaneRes.h"
#include "wizard/WizardLogic.h"

namespace kestane {

class CKestaneDlg;

enum Page {
    kHomePage, kLoginPage, kHddErrorPage, kFormatPage, kSetPwdPage, kSetIpPage, kNamePage, kFunctionPage,
    kTimePage, kConfirmPage, kWaitPage, kSuccessPage, kFailPage, kPageCount
};
// The section of Config.ini that lays each page out.
extern const char* const kPageSections[kPageCount];

// The control table: the key that page sections use for a control, and the
// control; the last slot stays empty.
struct ControlSlot {
    const char* key;
    int id;
};
constexpr size_t kControlSlots = 82;
extern const ControlSlot kControlTable[kControlSlots];

// How a page is reached or left: through a Next or through a Prev button.
enum class Direction { Next, Prev };
// What leaving a page decided: go on to the page the flow names, or stay
// (a check failed, or an exchange began whose end picks the next page).
enum class Leaving { Follow, Stay };

// Where each button leads: one row per page that has Next or Prev.
struct PageFlow {
    Page page;
    int nextButton, prevButton;  // 0: the page has none
    Page next, prev;
};
// The login page's Next asks the server; its answer picks the page.
constexpr Page kAnswerDecides = kPageCount;
// Login and Format Prev are never shown; they lead where they would.
constexpr PageFlow kPageFlow[] = {
    {kHomePage, IDC_HOME_NEXT, 0, kLoginPage, kHomePage},
    {kLoginPage, IDC_LOGIN_NEXT, IDC_LOGIN_PREV, kAnswerDecides, kHomePage},
    {kFormatPage, IDC_FORMAT_NEXT, IDC_FORMAT_PREV, kSetPwdPage, kLoginPage},
    {kSetPwdPage, IDC_SETPWD_NEXT, IDC_SETPWD_PREV, kSetIpPage, kFormatPage},
    {kSetIpPage, IDC_SETIP_NEXT, IDC_SETIP_PREV, kNamePage, kSetPwdPage},
    {kNamePage, IDC_NAME_NEXT, IDC_NAME_PREV, kFunctionPage, kSetIpPage},
    {kFunctionPage, IDC_FUNCTION_NEXT, IDC_FUNCTION_PREV, kTimePage, kNamePage},
    {kTimePage, IDC_TIME_NEXT, IDC_TIME_PREV, kConfirmPage, kFunctionPage},
    {kConfirmPage, IDC_CONFIRM_NEXT, IDC_CONFIRM_PREV, kWaitPage, kTimePage},
};

// What the pages fill in and read back for the server now chosen.
struct WizardData {
    mgmt::ServerConfig config{};
    std::string loginPassword;  // as typed on the login page
    FormatTexts formatTexts;    // kept for the return from the password page
    // The address page's four boxes as last accepted.
    std::string acceptedIp, acceptedMask, acceptedGateway, acceptedDns;
    bool formatShown = false, addressFilled = false, timeListsFilled = false, daylightSetOnce = false;
    bool passwordPassed = false;  // Next on the password page was pressed
};

class CWizardPage {
public:
    explicit CWizardPage(CKestaneDlg& wizard) : wizard_(wizard) {}
    virtual ~CWizardPage() = default;
    CWizardPage(const CWizardPage&) = delete;
    CWizardPage& operator=(const CWizardPage&) = delete;

    // Once, when the dialog is made: limits and lists of the page's controls.
    virtual void Prepare() {}
    // After the page's controls are shown: fill them in; `how` is the kind
    // of button that led here.
    virtual void Enter(Direction /*how*/) {}
    // Next or Prev on this page: check and store what it shows.
    virtual Leaving Leave(Direction /*way*/) { return Leaving::Follow; }
    // Controls of the page that act without leaving it (check boxes, lists).
    using AddCommand = std::function<void(int id, UINT code, std::function<void()> handler)>;
    virtual void AddCommands(const AddCommand& /*add*/) {}

protected:
    CKestaneDlg& wizard_;
};

using PageSet = std::array<std::unique_ptr<CWizardPage>, kPageCount>;
PageSet MakePages(CKestaneDlg& wizard);

}  // namespace kestane
