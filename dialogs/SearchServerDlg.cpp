#include "dialogs/SearchServerDlg.h"

#include <atomic>
#include <cstring>

#include "resources/resource.h"
#include "dialogs/DialogText.h"
#include "protocol/Protocol.h"
#include "settings/Settings.h"

namespace dialogs {

namespace {

// Posted by the receive thread when it queues a reply into an empty queue:
// the server array and the list box change only on the window thread, in
// arrival order. The receive thread never waits for the window, so that the
// window can wait for it to end.
constexpr UINT kServerFound = WM_APP + 0x30;
// Posted to itself when the dialog opens without a bound socket, so that the
// message box shows over the dialog rather than before it.
constexpr UINT kReportPortBusy = WM_APP + 0x31;

// Only the first GetServer of a run looks at the remembered server.
std::atomic<bool> g_firstGetServer{true};

// The server remembered from the last run, with its display text; false
// (and nothing changed) when there is none.
bool ReadRememberedServer(std::string& address, std::string& display) {
    settings::CSettings settings;
    std::string remembered = settings.DefaultServer();
    if (remembered.empty()) return false;
    address = std::move(remembered);
    display = settings.DefaultServerDisplayName();
    return true;
}

// How long closing waits for the receive thread; it ends within a fraction
// of a second of its stop flag, as its receives time out.
constexpr DWORD kStopTimeoutMs = 10000;

}  // namespace

void CSearchServerDlg::Receiver::ServerAnswered(const mgmt::stserver& server) {
    bool first = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        first = arrived.empty();
        arrived.push_back(server);
    }
    // One message for however many replies wait: a flood of replies does not
    // flood the window's queue.
    if (first) ::PostMessageA(dialog, kServerFound, 0, 0);
}

CSearchServerDlg::CSearchServerDlg() {
    OnClicked(IDOK, [this] { OnOk(); });
    OnClicked(IDCANCEL, [this] {
        address_.clear();
        End(IDCANCEL);
    });
    OnClicked(IDC_SERVER_RESCAN, [this] { OnRescan(); });
    OnMessage(kServerFound, [this](WPARAM, LPARAM) {
        TakeArrivedServers();
        return TRUE;
    });
    OnMessage(kReportPortBusy, [this](WPARAM, LPARAM) {
        ReportPortBusy();
        return TRUE;
    });
    OnMessage(WM_DESTROY, [this](WPARAM, LPARAM) {
        OnDestroy();
        return 0;
    });
}

CSearchServerDlg::~CSearchServerDlg() = default;

std::string CSearchServerDlg::GetServer(HWND parent) {
    if (g_firstGetServer.exchange(false) && ReadRememberedServer(address_, display_)) return address_;
    return AskServer(parent);
}

bool CSearchServerDlg::RememberedServer(std::string& address, std::string& display) {
    return g_firstGetServer && ReadRememberedServer(address, display);
}

std::string CSearchServerDlg::AskServer(HWND parent) {
    if (DoModal(::GetModuleHandleA(nullptr), IDD_SELECT_SERVER, parent) != IDOK) address_.clear();
    return address_;
}

BOOL CSearchServerDlg::OnInitDialog() {
    receiver_ = std::make_unique<Receiver>();
    receiver_->dialog = Hwnd();
    StartReceiver();
    SendProbe();
    if (receiver_->portTaken) ::PostMessageA(Hwnd(), kReportPortBusy, 0, 0);

    SetText(IDS_SELSERVER_CAPTION);
    SetItemTexts({{IDC_SERVER_PROMPT, IDS_SELSERVER_PROMPT},
                  {IDC_SERVER_RESCAN, IDS_SELSERVER_RESCAN},
                  {IDC_SERVER_REMEMBER, IDS_SELSERVER_REMEMBER},
                  {IDOK, IDS_SELSERVER_OK},
                  {IDCANCEL, IDS_SELSERVER_CANCEL}});
    return TRUE;
}

void CSearchServerDlg::StartReceiver() {
    // Returns once the socket is bound (no reply can come before the probe
    // then) or the listener has given up, which portTaken explains.
    thread_ = mgmt::StartListener(mgmt::ListenerKind::EveryDiscoveryReply, *receiver_);
}

void CSearchServerDlg::OnRescan() {
    // The port may be free by now: a listener that could not bind it has
    // ended, and a new one tries again.
    if (!thread_) StartReceiver();
    SendProbe();
    if (receiver_->portTaken) ReportPortBusy();
}

void CSearchServerDlg::ReportPortBusy() {
    // Not while closing: the list is no longer of interest then.
    if (!receiver_ || receiver_->stop || !receiver_->portTaken) return;
    ShowMessage(IDS_DISCOVERY_PORT_BUSY);
}

void CSearchServerDlg::SendProbe() {
    SendItemMessage(IDC_SERVER_LIST, LB_RESETCONTENT);
    servers_.clear();
    // Three probes 100 ms apart; replies keep arriving meanwhile and wait
    // for the window thread, which is busy here for about 300 ms.
    mgmt::SendDiscoveryProbes(3);
}

void CSearchServerDlg::TakeArrivedServers() {
    if (!receiver_) return;
    std::vector<mgmt::stserver> arrived;
    {
        std::lock_guard<std::mutex> lock(receiver_->mutex);
        arrived.swap(receiver_->arrived);
    }
    // Replies that arrive while the dialog closes are of no use any more.
    if (receiver_->stop) return;
    for (const mgmt::stserver& server : arrived) AddServer(server);
}

void CSearchServerDlg::AddServer(const mgmt::stserver& server) {
    if (FindServer(servers_, server.address) >= 0) return;
    servers_.push_back(server);
    SendItemMessage(IDC_SERVER_LIST, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ServerEntryText(server).c_str()));
    int count = static_cast<int>(SendItemMessage(IDC_SERVER_LIST, LB_GETCOUNT));
    int selection = static_cast<int>(SendItemMessage(IDC_SERVER_LIST, LB_GETCURSEL));
    if (SelectFirstAfterAppend(selection, count)) SendItemMessage(IDC_SERVER_LIST, LB_SETCURSEL, 0);
}

void CSearchServerDlg::OnOk() {
    int selection = static_cast<int>(SendItemMessage(IDC_SERVER_LIST, LB_GETCURSEL));
    if (selection == LB_ERR || selection >= static_cast<int>(servers_.size())) {
        ShowMessage(IDS_SELECT_SERVER);
        return;
    }
    int length = static_cast<int>(SendItemMessage(IDC_SERVER_LIST, LB_GETTEXTLEN, selection));
    std::string text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    if (length > 0) SendItemMessage(IDC_SERVER_LIST, LB_GETTEXT, selection, reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::strlen(text.c_str()));
    display_ = text;
    address_ = mgmt::FormatIpv4(servers_[static_cast<size_t>(selection)].address);

    if (IsButtonChecked(IDC_SERVER_REMEMBER))
        settings::CSettings().RememberServer(address_, display_);
    else
        settings::CSettings().ForgetServer();
    End(IDOK);
}

void CSearchServerDlg::OnDestroy() {
    if (!receiver_) return;
    // The closing burst empties the list and wakes the receive thread's wait:
    // the probes arrive on its own socket, and it then sees the stop flag.
    if (!thread_) {
        receiver_->stop = true;
        SendProbe();
        return;
    }
    if (!mgmt::StopListener(*receiver_, thread_, kStopTimeoutMs, [this] { SendProbe(); }))
        (void)receiver_.release();  // still running: it keeps what it reads, for good
}

}  // namespace dialogs
