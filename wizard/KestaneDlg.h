// The wizard's one dialog: thirteen pages laid out from the ini files, the
// server list, the page flow with its checks, and the three server exchanges
// (state query, free-address search, configuration).
//
// Threads: the listener threads and the search thread never touch a window or
// a timer. They write plain fields (under locks where a field is larger than
// a flag) and post messages; the dialog thread changes texts, pages and timers.
#pragma once
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Dialog.h"
#include "common/Handle.h"
#include "protocol/Protocol.h"
#include "wizard/NetUtil.h"
#include "wizard/WizardLogic.h"
#include "wizard/WizardPages.h"

namespace kestane {

struct IniFiles {
    std::string config;   // <image>\<language>\Config.ini
    std::string strings;  // <image>\<language>\string.ini
    std::string image;    // <program folder>\image
};

// Private messages. The two query results keep the numbers the server
// exchanges were designed around; the rest carry listener events.
constexpr UINT WM_QUERY_READY = WM_USER + 100;  // wParam: the query it answers
constexpr UINT WM_ADDRESS_FOUND = WM_USER + 101;
constexpr UINT WM_SERVER_FOUND = WM_APP + 1;
constexpr UINT WM_CONFIG_PROGRESS = WM_APP + 2;
constexpr UINT WM_CONFIG_BOARD_BUSY = WM_APP + 3;
constexpr UINT WM_CONFIG_FAILURE = WM_APP + 4;
constexpr UINT WM_CONFIG_RESTART = WM_APP + 5;
constexpr UINT WM_QUERY_BUSY = WM_APP + 6;  // wParam: the query it answers

// The dialog's timers, each with its period.
struct WizardTimer {
    UINT_PTR id;
    UINT period;  // ms
};
// No progress report for this long: the configuration has failed.
constexpr WizardTimer kConfigTimeout{1, 60000};
// The rescan button rests this long, so that the answers of one probe come in.
constexpr WizardTimer kRescanPause{2, 4000};
// No answer to the state query for this long: the server is out of reach.
constexpr WizardTimer kQueryTimeout{4, 60000};
// A free-address search that runs this long is told to give up.
constexpr WizardTimer kSearchTimeout{5, 300000};
// The server restarts with its new settings; after this long it is up again.
constexpr WizardTimer kRestartWait{6, 100000};

// The period of a timer, the PC's DHCP state from the adapter query's
// report, and the ways the free-address search may ping; see Seams.cpp.
UINT TimerPeriod(const WizardTimer& timer);
bool PcUsesDhcp(bool reported);
unsigned PingRoutes();

// A message of string.ini with the text shown when the file lacks it.
struct ProposalNotice {
    const char* key;
    const char* fallback;
};

class CWaitDialolg : public win::CDialog {
public:
    enum Mode { kVerifyPassword = 1, kSearchAddress = 2 };
    CWaitDialolg(const IniFiles& files, Mode mode);
    void Close();  // ends the dialog with 1, also before it is shown

protected:
    BOOL OnInitDialog() override;

private:
    const IniFiles& files_;
    Mode mode_;
    bool closeRequested_ = false;
};

class CKestaneDlg : public win::CDialog, public mgmt::IProtocolOwner {
public:
    explicit CKestaneDlg(IniFiles files);

    // mgmt::IProtocolOwner, called on listener threads.
    void RefreshAdapters() override;
    mgmt::Mac PcMac() const override;
    mgmt::Mac SelectedServerMac() const override;
    void ServerFound(const mgmt::FoundServer& server) override;
    void StateReply(const mgmt::StateReplyData& data) override;
    void InfoReply(const mgmt::InfoReplyData& data) override;
    void Busy() override;
    void Progress(int32_t subCode) override;
    void Failure(int32_t subCode) override;
    void BoardBusy() override;
    void Restart() override;

    // What the pages use of the wizard (WizardPages.cpp).
    WizardData& Data() { return data_; }
    std::string Control(const char* key, const char* fallback = "") const;
    std::string Message(const char* key, const char* fallback = "") const;
    TextSource MessageSource() const;
    TextSource ControlSource() const;
    void ShowMessage(const char* key, const char* fallback = "");
    std::string AddressText(int id) const;
    void SetAddressText(int id, const std::string& text);
    // Empties the server list and sends a probe; starts the wizard afresh.
    void Rescan();
    // The row selected on the server list becomes the server to set up;
    // false (and a message) when there is none.
    bool TakeSelectedServer();
    // Sends the state query and waits for its answer, which moves on.
    void StartStateQuery();
    // The address page can be shown: the PC uses DHCP or a proposal is known.
    bool AddressProposalReady() const;
    // Waits for the free-address search, whose end shows the address page.
    void WaitForAddressProposal();
    struct AddressTexts {
        std::string ip, mask, gateway, dns;
    };
    // What the address page shows first: the proposal and the PC's values.
    AddressTexts ProposedAddress() const;
    // The message owed about the proposal, said once.
    void SayProposalNotice();
    // Sends the configuration and follows its progress.
    void StartConfiguration();

protected:
    BOOL OnInitDialog() override;

private:
    // Layout.
    // The control a page section names by `key`; 0 for a key the table lacks.
    int Lookup(const std::string& key) const;
    std::vector<std::string> PageKeys(int page) const;
    bool LayoutPage(int page);
    bool ShowPageControls(int page, bool show);
    void ShowPage(int page);
    void HideUnusedControls();
    void SizeWindow();
    void FailLayout();
    void SetUpServerList();
    // Display scale: the ini's pixels are meant for 100 %.
    int Px(int pixels) const;
    void SetIcons();
    void SetTitleFont();
    void LoadStatusImages();

    // Moving between pages.
    void GoTo(int page, Direction how);
    // Next or Prev on `page`.
    void Step(int page, Direction way);

    // Server list page.
    void EnsureDiscoveryListener();
    void AddServerRows();
    void UpdateStatusLine();
    int SelectedRow() const;
    void ResetDefaults();

    // State query and address search.
    bool EndQuery(UINT query);
    void OnQueryTimeout();
    void OnQueryReady();
    void DecideAddressProposal(const mgmt::StateReplyData& state);
    void ForgetAddressProposal();
    void OnAddressFound(UINT generation);
    void CloseWait();
    void ShowFailPage(const std::string& text);

    // Configuration.
    void OnProgress(int32_t subCode);
    void FailConfiguration(const std::string& text);
    void OnRestart();
    void OnConfigTimeout();

    // Listener lifetime.
    void StartListenerOf(mgmt::ListenerKind kind);
    void StopCurrentListener();
    void SetTimerOf(const WizardTimer& timer);
    void KillTimerOf(const WizardTimer& timer);

    static DWORD WINAPI SearchThread(LPVOID self);

    IniFiles files_;
    int page_ = kHomePage;
    std::vector<std::unique_ptr<CWizardPage>> pages_;  // by number
    WizardData data_;
    std::vector<mgmt::FoundServer> rows_;  // the server list, row for row
    mgmt::Mac selectedMac_{};
    mgmt::StateReplyData state_;  // copied on the dialog thread once the query is ready
    bool configuring_ = false;
    bool querying_ = false;
    CWaitDialolg* wait_ = nullptr;
    win::Handle listener_;
    mgmt::ListenerKind listenerKind_ = mgmt::ListenerKind::Discovery;
    win::GdiObject titleFont_;
    UINT dpi_ = 96;

    // Written by the PC adapter query (either thread).
    mutable std::mutex pcLock_;
    netutil::PcNetValues pc_;

    // Written by the listener threads.
    std::mutex eventLock_;
    std::deque<mgmt::FoundServer> found_;
    mgmt::StateReplyData received_;
    std::atomic<UINT> query_{0};  // the state query now running, counted from 1

    // One run of the free-address search. Only its thread writes the result,
    // before it posts WM_ADDRESS_FOUND with the generation; a newer search
    // (another login, a rescan) leaves it behind: it stops at its next
    // candidate and its result is dropped, so that it cannot overwrite the
    // proposal made for another server.
    struct AddressSearch {
        HWND window = nullptr;
        UINT generation = 0;
        Octets ip{}, mask{};
        unsigned pingRoutes = 0;
        std::atomic<bool> timedOut{false};  // its time-out timer fired
        std::atomic<bool> abandoned{false};
        SearchResult result{kNoAddress, true};
        std::atomic<bool> done{false};  // result written
    };
    std::shared_ptr<AddressSearch> search_;  // the current search, if one runs
    UINT searchGeneration_ = 0;

    // The address proposal for the server now selected (dialog thread only),
    // and the message owed about it on the address page.
    std::string proposal_;
    bool proposalKnown_ = false;
    const ProposalNotice* proposalNotice_ = nullptr;
};

}  // namespace kestane
