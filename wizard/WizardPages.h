// The wizard's pages: the controls their sections may name, and each page as
// an object that says what happens when it is entered and what its Next and
// Prev buttons check and store. One table gives every page its section and
// says where each button leads, so that a new page is a class and a row in
// WizardPages.cpp, beside its controls and texts. The dialog (KestaneDlg)
// lays the pages out from the ini files, moves between them and runs the
// server exchanges.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <span>
#include <string>

#include "protocol/Packets.h"
#include "wizard/WizardLogic.h"

namespace kestane {

class CKestaneDlg;

// The product's pages by number. The page table (WizardPages.cpp) holds
// them in this order and may go on after the last; the dialog names only
// the pages that it turns to by itself.
enum Page : int {
    kHomePage,
    kLoginPage,
    kHddErrorPage,
    kFormatPage,
    kSetPwdPage,
    kSetIpPage,
    kNamePage,
    kFunctionPage,
    kTimePage,
    kConfirmPage,
    kWaitPage,
    kSuccessPage,
    kFailPage
};

// The control table: the key that page sections use for a control, and the
// control; the last slot stays empty.
struct ControlSlot {
    const char* key;
    int id;
};
std::span<const ControlSlot> ControlTable();

// How a page is reached or left: through a Next or through a Prev button.
enum class Direction { Next, Prev };
// What leaving a page decided: go on to the page the table names, or stay
// (a check failed, or an exchange began whose end picks the next page).
enum class Leaving { Follow, Stay };

// The login page's Next asks the server; its answer picks the page.
constexpr int kAnswerDecides = -1;

class CWizardPage;
// One page: the section of Config.ini that lays it out, what it does, and
// where its buttons lead.
struct PageEntry {
    const char* section;
    std::unique_ptr<CWizardPage> (*make)(CKestaneDlg& wizard);
    int nextButton = 0, prevButton = 0;  // 0: the page has none
    int next = 0, prev = 0;
};
// Every page, by number.
std::span<const PageEntry> PageTable();

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

}  // namespace kestane
