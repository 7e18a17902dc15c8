#include "wizard/WizardPages.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "wizard/KestaneDlg.h"
#include "wizard/KestaneRes.h"

namespace kestane {

// Every control that a page section may name; the last slot stays empty.
namespace {

const ControlSlot kControlTable[] = {
    {"Exit_Position", IDC_EXIT},
    {"Finish_Position", IDC_EXIT},
    {"STATIC_Wizard_Position", IDC_WIZARD_TITLE},
    {"Home_Position", IDC_HOME},
    {"LIST_HomeNASIP_Position", IDC_SERVER_LIST},
    {"Home_Rescan_Position", IDC_RESCAN},
    {"Home_Next_Position", IDC_HOME_NEXT},
    {"STATIC_SelectNAS_Position", IDC_SELECT_NAS},
    {"STATIC_NASStatus_Position", IDC_NAS_STATUS},
    {"Login_Next_Position", IDC_LOGIN_NEXT},
    {"Login_Prev_Position", IDC_LOGIN_PREV},
    {"EDIT_LoginPwd_Position", IDC_LOGIN_PWD},
    {"STATIC_LoginPwd_Position", IDC_LOGIN_PWD_LABEL},
    {"STATIC_Login_Position", IDC_LOGIN_TITLE},
    {"STATIC_HDDError_Position", IDC_HDD_ERROR},
    {"Format_Next_Position", IDC_FORMAT_NEXT},
    {"Format_Prev_Position", IDC_FORMAT_PREV},
    {"STATIC_Format_Position", IDC_FORMAT_TEXT},
    {"STATIC_ERASED_Position", IDC_ERASED},
    {"STATIC_Do_Position", IDC_FORMAT_DO},
    {"SetPwd_Next_Position", IDC_SETPWD_NEXT},
    {"SetPwd_Prev_Position", IDC_SETPWD_PREV},
    {"EDIT_NewPwd_Position", IDC_NEWPWD},
    {"EDIT_ConfirmPwd_Position", IDC_CONFIRMPWD},
    {"STATIC_SetPwd_Position", IDC_SETPWD_TITLE},
    {"STATIC_NewPwd_Position", IDC_NEWPWD_LABEL},
    {"STATIC_ConfirmPwd_Position", IDC_CONFIRMPWD_LABEL},
    {"STATIC_PwdNotify_Position", IDC_PWD_NOTIFY},
    {"IPADDRESS_IP_Position", IDC_IP},
    {"IPADDRESS_Mask_Position", IDC_MASK},
    {"IPADDRESS_Gateway_Position", IDC_GATEWAY},
    {"IPADDRESS_DNSServer_Position", IDC_DNS},
    {"CHECK_AutoIP_Position", IDC_AUTOIP},
    {"SetIP_Prev_Position", IDC_SETIP_PREV},
    {"SetIP_Next_Position", IDC_SETIP_NEXT},
    {"STATIC_DNSServer_Position", IDC_DNS_LABEL},
    {"STATIC_Gateway_Position", IDC_GATEWAY_LABEL},
    {"STATIC_Mask_Position", IDC_MASK_LABEL},
    {"STATIC_IP_Position", IDC_IP_LABEL},
    {"STATIC_AutoIPCheck_Position", IDC_AUTOIP_LABEL},
    {"STATIC_SetIP_Position", IDC_SETIP_TITLE},
    {"EDIT_NASName_Position", IDC_NAME},
    {"NASName_Prev_Position", IDC_NAME_PREV},
    {"NASName_Next_Position", IDC_NAME_NEXT},
    {"STATIC_NASNameStrict_Position", IDC_NAME_STRICT},
    {"STATIC_NASName_Position", IDC_NAME_LABEL},
    {"STATIC_NameNotify_Position", IDC_NAME_NOTIFY},
    {"CHECK_BT_Position", IDC_BT},
    {"CHECK_iTunes_Position", IDC_ITUNES},
    {"CHECK_MediaServer_Position", IDC_MEDIA},
    {"CHECK_PrintServer_Position", IDC_PRINT},
    {"SetFunction_Prev_Position", IDC_FUNCTION_PREV},
    {"SetFunction_Next_Position", IDC_FUNCTION_NEXT},
    {"STATIC_BT_Position", IDC_BT_LABEL},
    {"STATIC_iTunes_Position", IDC_ITUNES_LABEL},
    {"STATIC_MediaServer_Position", IDC_MEDIA_LABEL},
    {"STATIC_PrintServer_Position", IDC_PRINT_LABEL},
    {"CHECK_SyncTime_Position", IDC_SYNCTIME},
    {"SyncTime_Prev_Position", IDC_TIME_PREV},
    {"SyncTime_Next_Position", IDC_TIME_NEXT},
    {"STATIC_SyncTime_Position", IDC_SYNCTIME_LABEL},
    {"CHECK_SyncTimeDaylight_Position", IDC_DAYLIGHT},
    {"STATIC_SyncTimeDaylight", IDC_DAYLIGHT_LABEL},
    {"STATIC_DaylightFrom_Position", IDC_FROM_LABEL},
    {"Daylight_MonthFrom_Position", IDC_MONTH_FROM},
    {"Daylight_DayFrom_Position", IDC_DAY_FROM},
    {"STATIC_DaylightTo_Position", IDC_TO_LABEL},
    {"Daylight_MonthTo_Position", IDC_MONTH_TO},
    {"Daylight_DayTo_Position", IDC_DAY_TO},
    {"COMBO_TimeZone_Position", IDC_TIMEZONE},
    {"STATIC_TimeZone_Position", IDC_TIMEZONE_LABEL},
    {"ConfirmFunction_Prev_Position", IDC_CONFIRM_PREV},
    {"ConfirmFunction_Next_Position", IDC_CONFIRM_NEXT},
    {"STATIC_ConfirmFunction_Position", IDC_CONFIRM_CAPTION},
    {"EDIT_Apply_Position", IDC_SUMMARY},
    {"STATIC_strConfirm_Position", IDC_CONFIRM_TEXT},
    {"STATIC_Handling_Position", IDC_HANDLING},
    {"STATIC_Wait_Position", IDC_WAIT_TITLE},
    {"STATIC_Success_Position", IDC_SUCCESS},
    {"STATIC_Fail_Position", IDC_FAIL},
    {"STATIC_Gif_Position", IDC_GIF},
    {"", 0},
};

// No list read from a file grows without end, whatever the file holds.
constexpr int kListLimit = 200;
constexpr int kDaylightControls[] = {IDC_DAYLIGHT_LABEL, IDC_MONTH_FROM, IDC_DAY_FROM, IDC_MONTH_TO,
                                     IDC_DAY_TO,         IDC_FROM_LABEL, IDC_TO_LABEL};

DiskState Disks(const mgmt::ServerConfig& c) {
    return {c.raidFound, c.disk1Present, c.disk1Ready, c.disk2Present, c.disk2Ready};
}

void LimitEdit(CKestaneDlg& w, int id, int length, bool password) {
    w.SendItemMessage(id, EM_LIMITTEXT, length);
    if (password) w.SendItemMessage(id, EM_SETPASSWORDCHAR, '*');
}

// Page 0: the server list. Entering it starts a scan; Next takes the row
// selected.
class HomePage : public CWizardPage {
public:
    using CWizardPage::CWizardPage;
    void Enter(Direction) override { wizard_.Rescan(); }
    Leaving Leave(Direction) override { return wizard_.TakeSelectedServer() ? Leaving::Follow : Leaving::Stay; }
};

// Page 1: the current administrator password, checked by the state query.
class LoginPage : public CWizardPage {
public:
    using CWizardPage::CWizardPage;
    void Prepare() override { LimitEdit(wizard_, IDC_LOGIN_PWD, 30, true); }
    void Enter(Direction how) override {
        if (how == Direction::Next) wizard_.FocusItem(IDC_LOGIN_PWD);
        wizard_.SetItemText(IDC_LOGIN_PWD, wizard_.Data().config.password);
    }
    Leaving Leave(Direction way) override {
        WizardData& d = wizard_.Data();
        const std::string typed = wizard_.GetItemText(IDC_LOGIN_PWD);
        if (way == Direction::Prev) {
            mgmt::SetConfigText(d.config.password, typed);
            return Leaving::Follow;
        }
        if (typed.size() > mgmt::kStatePasswordSize) {
            wizard_.ShowMessage("Input_The_Info");
            wizard_.FocusItem(IDC_LOGIN_PWD);
            return Leaving::Stay;
        }
        d.loginPassword = typed;
        wizard_.StartStateQuery();  // its answer moves on
        return Leaving::Stay;
    }
};

// Page 3: which disks will be formatted. Reached from the login the texts are
// made; back from the password page the kept ones show again.
class FormatPage : public CWizardPage {
public:
    using CWizardPage::CWizardPage;
    void Enter(Direction how) override {
        WizardData& d = wizard_.Data();
        if (how == Direction::Next) {
            d.formatTexts = BuildFormatTexts(Disks(d.config), wizard_.MessageSource());
            d.formatShown = true;
        }
        wizard_.SetItemText(IDC_FORMAT_TEXT, d.formatTexts.what);
        wizard_.SetItemText(IDC_ERASED, d.formatTexts.erased);
        wizard_.SetItemText(IDC_FORMAT_DO, d.formatTexts.decision);
    }
};

// Page 4: the new administrator password.
class PasswordPage : public CWizardPage {
public:
    using CWizardPage::CWizardPage;
    void Prepare() override {
        LimitEdit(wizard_, IDC_NEWPWD, 30, true);
        LimitEdit(wizard_, IDC_CONFIRMPWD, 30, true);
    }
    void Enter(Direction) override {
        // The login password until a new one is accepted; after that the new
        // one, so that coming back to this page neither shows nor sends the old one.
        const mgmt::ServerConfig& c = wizard_.Data().config;
        wizard_.SetItemText(IDC_NEWPWD, c.password);
        wizard_.SetItemText(IDC_CONFIRMPWD, c.password);
    }
    Leaving Leave(Direction way) override {
        WizardData& d = wizard_.Data();
        const std::string password = wizard_.GetItemText(IDC_NEWPWD),
                          confirmation = wizard_.GetItemText(IDC_CONFIRMPWD);
        mgmt::SetConfigText(d.config.password, confirmation);
        const PasswordCheck check = CheckNewPassword(password, confirmation);
        if (check == PasswordCheck::Mismatch || check == PasswordCheck::Invalid) {
            wizard_.ShowMessage(PasswordMessageKey(check));
            wizard_.FocusItem(IDC_NEWPWD);
            return Leaving::Stay;
        }
        if (way == Direction::Prev) return Leaving::Follow;
        if (check == PasswordCheck::Empty) wizard_.ShowMessage("Clear_Pwd");
        d.passwordPassed = true;
        if (wizard_.AddressProposalReady()) return Leaving::Follow;
        // The search's end shows the address page.
        wizard_.WaitForAddressProposal();
        return Leaving::Stay;
    }
};

// Page 5: the server's address, automatic or typed and checked.
class AddressPage : public CWizardPage {
public:
    using CWizardPage::CWizardPage;
    void AddCommands(const AddCommand& add) override {
        add(IDC_AUTOIP, BN_CLICKED, [this] {
            wizard_.Data().config.autoAddress = wizard_.IsButtonChecked(IDC_AUTOIP) ? 1 : 0;
            EnableBoxes();
        });
    }
    void Enter(Direction) override {
        WizardData& d = wizard_.Data();
        wizard_.CheckButton(IDC_AUTOIP, d.config.autoAddress);
        if (!d.addressFilled) {
            d.addressFilled = true;
            const auto first = wizard_.ProposedAddress();
            d.acceptedIp = first.ip, d.acceptedMask = first.mask, d.acceptedGateway = first.gateway;
            d.acceptedDns = first.dns;
        }
        wizard_.SetAddressText(IDC_IP, d.acceptedIp);
        wizard_.SetAddressText(IDC_MASK, d.acceptedMask);
        wizard_.SetAddressText(IDC_GATEWAY, d.acceptedGateway);
        wizard_.SetAddressText(IDC_DNS, d.acceptedDns);
        EnableBoxes();
        wizard_.SayProposalNotice();
    }
    Leaving Leave(Direction) override { return Accept() ? Leaving::Follow : Leaving::Stay; }

private:
    void EnableBoxes() {
        const bool manual = !wizard_.IsButtonChecked(IDC_AUTOIP);
        for (int id : {IDC_IP, IDC_MASK, IDC_GATEWAY}) wizard_.EnableItem(id, manual);
        wizard_.EnableItem(IDC_DNS, true);
    }

    bool Accept() {
        WizardData& d = wizard_.Data();
        const std::string dns = wizard_.AddressText(IDC_DNS);
        if (!wizard_.IsButtonChecked(IDC_AUTOIP)) {
            const std::string ip = wizard_.AddressText(IDC_IP), mask = wizard_.AddressText(IDC_MASK),
                              gateway = wizard_.AddressText(IDC_GATEWAY);
            if (const auto error = ValidateAddress(OctetsFromText(ip), OctetsFromText(mask), OctetsFromText(gateway),
                                                   OctetsFromText(dns))) {
                wizard_.ShowMessage(error->key);
                for (AddressBox box : error->restore) {
                    switch (box) {
                    case AddressBox::Ip:
                        wizard_.SetAddressText(IDC_IP, d.acceptedIp);
                        break;
                    case AddressBox::Mask:
                        wizard_.SetAddressText(IDC_MASK, d.acceptedMask);
                        break;
                    case AddressBox::Gateway:
                        wizard_.SetAddressText(IDC_GATEWAY, d.acceptedGateway);
                        break;
                    case AddressBox::Dns:
                        wizard_.SetAddressText(IDC_DNS, d.acceptedDns);
                        break;
                    }
                }
                const int focus[] = {IDC_IP, IDC_MASK, IDC_GATEWAY, IDC_DNS};
                wizard_.FocusItem(focus[static_cast<int>(error->focus)]);
                return false;
            }
            d.acceptedIp = ip, d.acceptedMask = mask, d.acceptedGateway = gateway;
            const Octets a = OctetsFromText(ip), m = OctetsFromText(mask), g = OctetsFromText(gateway);
            std::memcpy(d.config.address, a.data(), 4);
            std::memcpy(d.config.mask, m.data(), 4);
            std::memcpy(d.config.gateway, g.data(), 4);
        }
        d.acceptedDns = dns;
        const Octets n = OctetsFromText(dns);
        std::memcpy(d.config.dns, n.data(), 4);
        return true;
    }
};

// Page 6: the server's name.
class NamePage : public CWizardPage {
public:
    using CWizardPage::CWizardPage;
    void Prepare() override { LimitEdit(wizard_, IDC_NAME, 15, false); }
    void Enter(Direction) override { wizard_.SetItemText(IDC_NAME, wizard_.Data().config.name); }
    Leaving Leave(Direction way) override {
        mgmt::ServerConfig& c = wizard_.Data().config;
        const std::string name = wizard_.GetItemText(IDC_NAME);
        // Going back keeps what was typed, valid or not.
        if (way == Direction::Prev) mgmt::SetConfigText(c.name, name);
        if (const char* key = CheckServerName(name)) {
            wizard_.ShowMessage(key);
            wizard_.FocusItem(IDC_NAME);
            return Leaving::Stay;
        }
        mgmt::SetConfigText(c.name, name);
        return Leaving::Follow;
    }
};

// Page 7: the services the server runs.
class FunctionPage : public CWizardPage {
public:
    using CWizardPage::CWizardPage;
    void Enter(Direction) override {
        const mgmt::ServerConfig& c = wizard_.Data().config;
        wizard_.CheckButton(IDC_BT, c.btService);
        wizard_.CheckButton(IDC_ITUNES, c.itunesService);
        wizard_.CheckButton(IDC_MEDIA, c.mediaServer);
        // Not offered here, so never read back: the box holds the setting's own
        // value, which is no plain on or off.
        wizard_.SendItemMessage(IDC_PRINT, BM_SETCHECK, c.printServer);
    }
    Leaving Leave(Direction) override {
        mgmt::ServerConfig& c = wizard_.Data().config;
        c.btService = wizard_.IsButtonChecked(IDC_BT);
        c.itunesService = wizard_.IsButtonChecked(IDC_ITUNES);
        c.mediaServer = wizard_.IsButtonChecked(IDC_MEDIA);
        return Leaving::Follow;
    }
};

// Page 8: time zone and daylight saving.
class TimePage : public CWizardPage {
public:
    using CWizardPage::CWizardPage;
    void Prepare() override {
        for (int box : {IDC_DAY_FROM, IDC_DAY_TO}) FillDayList(box, 0);
    }
    void AddCommands(const AddCommand& add) override {
        add(IDC_DAYLIGHT, BN_CLICKED, [this] {
            WizardData& d = wizard_.Data();
            if (wizard_.IsButtonChecked(IDC_DAYLIGHT) && !d.daylightSetOnce) {
                d.daylightSetOnce = true;
                SelectDaylightBoxes();
            }
            EnableDaylightControls();
        });
        add(IDC_SYNCTIME, BN_CLICKED, [this] {
            const bool on = wizard_.IsButtonChecked(IDC_SYNCTIME);
            if (!on) wizard_.CheckButton(IDC_DAYLIGHT, false);
            for (int id : {IDC_DAYLIGHT, IDC_DAYLIGHT_LABEL, IDC_TIMEZONE, IDC_TIMEZONE_LABEL})
                wizard_.EnableItem(id, on);
            EnableDaylightControls();
        });
        add(IDC_MONTH_FROM, CBN_SELCHANGE, [this] { FillDayList(IDC_DAY_FROM, IDC_MONTH_FROM); });
        add(IDC_MONTH_TO, CBN_SELCHANGE, [this] { FillDayList(IDC_DAY_TO, IDC_MONTH_TO); });
        add(IDC_TIMEZONE, CBN_SELCHANGE, [this] {
            const LRESULT sel = Send(IDC_TIMEZONE, CB_GETCURSEL, 0);
            if (sel >= 0) wizard_.Data().config.timeZone = static_cast<int32_t>(sel);
        });
    }
    void Enter(Direction how) override {
        if (how == Direction::Prev) {  // back from the confirmation: the boxes hold what was stored
            EnableDaylightControls();
            return;
        }
        WizardData& d = wizard_.Data();
        mgmt::ServerConfig& c = d.config;
        if (!d.timeListsFilled) {
            d.timeListsFilled = true;
            FillList(IDC_TIMEZONE, "STATIC_TimeZone_Position%d", 0);
            // Months are numbered from 1 in the file.
            FillList(IDC_MONTH_FROM, "Month_%d", 1);
            FillList(IDC_MONTH_TO, "Month_%d", 1);
            TIME_ZONE_INFORMATION zone{};
            if (::GetTimeZoneInformation(&zone) != TIME_ZONE_ID_INVALID) c.timeZone = TimeZoneEntryForBias(zone.Bias);
        }
        Send(IDC_TIMEZONE, CB_SETCURSEL, c.timeZone);
        wizard_.CheckButton(IDC_SYNCTIME, c.timeSync);
        wizard_.CheckButton(IDC_DAYLIGHT, c.daylightSaving);
        SelectDaylightBoxes();
        EnableDaylightControls();
    }
    Leaving Leave(Direction) override {
        mgmt::ServerConfig& c = wizard_.Data().config;
        auto selection = [this](int id) {
            const LRESULT sel = Send(id, CB_GETCURSEL, 0);
            return static_cast<uint8_t>(sel >= 0 && sel < 255 ? sel + 1 : 1);
        };
        c.timeSync = wizard_.IsButtonChecked(IDC_SYNCTIME);
        c.daylightSaving = wizard_.IsButtonChecked(IDC_DAYLIGHT);
        c.dstStartMonth = selection(IDC_MONTH_FROM);
        c.dstStartDay = selection(IDC_DAY_FROM);
        c.dstEndMonth = selection(IDC_MONTH_TO);
        c.dstEndDay = selection(IDC_DAY_TO);
        const LRESULT zone = Send(IDC_TIMEZONE, CB_GETCURSEL, 0);
        if (zone >= 0) c.timeZone = static_cast<int32_t>(zone);
        c.pcClock = static_cast<int64_t>(std::time(nullptr));
        return Leaving::Follow;
    }

private:
    LRESULT Send(int id, UINT message, WPARAM wp, LPARAM lp = 0) {
        return wizard_.SendItemMessage(id, message, wp, lp);
    }

    // The entries `pattern` names from `first` on, up to the first empty one.
    void FillList(int id, const char* pattern, int first) {
        Send(id, CB_RESETCONTENT, 0);
        for (int i = first; i < first + kListLimit; ++i) {
            char key[48];
            std::snprintf(key, sizeof key, pattern, i);
            const std::string text = wizard_.Control(key);
            if (text.empty()) break;
            Send(id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
    }

    void SelectDaylightBoxes() {
        const mgmt::ServerConfig& c = wizard_.Data().config;
        Send(IDC_MONTH_FROM, CB_SETCURSEL, c.dstStartMonth - 1);
        Send(IDC_MONTH_TO, CB_SETCURSEL, c.dstEndMonth - 1);
        FillDayList(IDC_DAY_FROM, IDC_MONTH_FROM);
        FillDayList(IDC_DAY_TO, IDC_MONTH_TO);
        Send(IDC_DAY_FROM, CB_SETCURSEL, c.dstStartDay - 1);
        Send(IDC_DAY_TO, CB_SETCURSEL, c.dstEndDay - 1);
    }

    // The day box of a month box: 1 to 28 from the template, and as many more
    // as the month chosen has; the first day selected.
    void FillDayList(int dayBox, int monthBox) {
        const LRESULT sel = monthBox ? Send(monthBox, CB_GETCURSEL, 0) : -1;
        const int days = sel >= 0 ? DaysInMonthList(static_cast<int>(sel) + 1) : 28;
        while (Send(dayBox, CB_GETCOUNT, 0) > 28) Send(dayBox, CB_DELETESTRING, 28);
        for (int d = static_cast<int>(Send(dayBox, CB_GETCOUNT, 0)) + 1; d <= days; ++d) {
            const std::string text = std::to_string(d);
            Send(dayBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        }
        Send(dayBox, CB_SETCURSEL, 0);
    }

    void EnableDaylightControls() {
        const bool on = wizard_.IsButtonChecked(IDC_DAYLIGHT) && ::IsWindowEnabled(wizard_.Item(IDC_DAYLIGHT));
        for (int id : kDaylightControls) wizard_.EnableItem(id, on);
    }
};

// Page 9: everything chosen, in one text, before it is sent.
class ConfirmPage : public CWizardPage {
public:
    using CWizardPage::CWizardPage;
    void Enter(Direction) override {
        const WizardData& d = wizard_.Data();
        const mgmt::ServerConfig& c = d.config;
        Summary s;
        s.disks = Disks(c);
        s.password = c.password;
        s.autoAddress = c.autoAddress != 0;
        s.ip = d.acceptedIp, s.mask = d.acceptedMask, s.gateway = d.acceptedGateway, s.dns = d.acceptedDns;
        s.name = c.name;
        s.bt = c.btService, s.itunes = c.itunesService, s.media = c.mediaServer;
        s.timeSync = c.timeSync != 0;
        s.timeZone = ListText(IDC_TIMEZONE, c.timeZone);
        s.daylight = c.daylightSaving != 0;
        s.startMonth = ListText(IDC_MONTH_FROM, c.dstStartMonth - 1);
        s.endMonth = ListText(IDC_MONTH_TO, c.dstEndMonth - 1);
        s.startDay = c.dstStartDay, s.endDay = c.dstEndDay;
        wizard_.SetItemText(IDC_SUMMARY, BuildSummary(s, wizard_.ControlSource()));
    }
    Leaving Leave(Direction way) override {
        if (way == Direction::Prev) {
            wizard_.SetItemText(IDC_SUMMARY, "");
            return Leaving::Follow;
        }
        // This one question carries the product's name, in every language.
        if (AnyDiskToErase(Disks(wizard_.Data().config)) &&
            ::MessageBoxA(
                wizard_.Hwnd(),
                wizard_.Message("Format_Warn", "The data on the disk(s) WILL BE ERASED, please confirm!").c_str(),
                "Storage Server Wizard", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
            return Leaving::Stay;
        return Leaving::Follow;
    }

private:
    std::string ListText(int id, int index) const {
        char text[kIniBufferSize] = {};
        if (wizard_.SendItemMessage(id, CB_GETLBTEXTLEN, index) < static_cast<LRESULT>(sizeof text))
            wizard_.SendItemMessage(id, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }
};

// Page 10: the configuration runs from the moment this page shows.
class WaitPage : public CWizardPage {
public:
    using CWizardPage::CWizardPage;
    void Enter(Direction) override { wizard_.StartConfiguration(); }
};

template <typename P>
std::unique_ptr<CWizardPage> Make(CKestaneDlg& wizard) {
    return std::make_unique<P>(wizard);
}

// Every page by number: its section, its object, its Next and Prev buttons
// and where they lead. The disk error, wait, success and failure pages have
// no buttons of their own; Login and Format Prev are never shown, and lead
// where they would.
const PageEntry kPages[] = {
    {"Home_Page", &Make<HomePage>, IDC_HOME_NEXT, 0, kLoginPage, kHomePage},
    {"Login_Page", &Make<LoginPage>, IDC_LOGIN_NEXT, IDC_LOGIN_PREV, kAnswerDecides, kHomePage},
    {.section = "HDDError_Page", .make = &Make<CWizardPage>},
    {"Format_Page", &Make<FormatPage>, IDC_FORMAT_NEXT, IDC_FORMAT_PREV, kSetPwdPage, kLoginPage},
    {"SetPwd_Page", &Make<PasswordPage>, IDC_SETPWD_NEXT, IDC_SETPWD_PREV, kSetIpPage, kFormatPage},
    {"SetIP_Page", &Make<AddressPage>, IDC_SETIP_NEXT, IDC_SETIP_PREV, kNamePage, kSetPwdPage},
    {"NASName_Page", &Make<NamePage>, IDC_NAME_NEXT, IDC_NAME_PREV, kFunctionPage, kSetIpPage},
    {"SetFunction_Page", &Make<FunctionPage>, IDC_FUNCTION_NEXT, IDC_FUNCTION_PREV, kTimePage, kNamePage},
    {"SyncTime_Page", &Make<TimePage>, IDC_TIME_NEXT, IDC_TIME_PREV, kConfirmPage, kFunctionPage},
    {"ConfirmFunction_Page", &Make<ConfirmPage>, IDC_CONFIRM_NEXT, IDC_CONFIRM_PREV, kWaitPage, kTimePage},
    {.section = "Wait_Page", .make = &Make<WaitPage>},
    {.section = "Success_Page", .make = &Make<CWizardPage>},
    {.section = "Fail_Page", .make = &Make<CWizardPage>},
};
static_assert(std::size(kPages) > kFailPage, "every numbered page has its row");

}  // namespace

std::span<const ControlSlot> ControlTable() { return kControlTable; }
std::span<const PageEntry> PageTable() { return kPages; }

}  // namespace kestane
