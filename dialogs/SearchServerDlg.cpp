#include "dialogs/SearchServerDlg.h"

#include <cstring>

#include "app/resource.h"
#include "dialogs/DialogText.h"
#include "protocol/Protocol.h"
#include "settings/Settings.h"

namespace dialogs {

namespace {

// Sent (not posted) by the receive thread after each reply it queued: the
// server array and the list box change only on the window thread, in arrival
// order, while the receive thread waits.
constexpr UINT kServerFound = WM_APP + 0x30;
// Posted to itself when the dialog opens without a bound socket, so that the
// message box shows over the dialog rather than before it.
constexpr UINT kReportPortBusy = WM_APP + 0x31;

// Only the first GetServer of a run looks at the remembered server.
std::atomic<bool> g_firstGetServer{true};

void CloseReceiverSocket(CSearchServerDlg::Receiver& receiver) {
    SOCKET s = receiver.socket.exchange(INVALID_SOCKET);
    if (s != INVALID_SOCKET) ::closesocket(s);
}

DWORD ReceiveLoop(CSearchServerDlg::Receiver& receiver) {
    SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) return 0;
    receiver.socket = s;
    BOOL on = TRUE;
    if (::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on) != 0) return 0;
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(mgmt::kPort);
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    // The reuse option shares the port with programs that allow it; one that
    // holds it exclusively leaves this socket unbound, and an unbound socket
    // receives nothing: the dialog says so instead of showing an empty list.
    if (::bind(s, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
        receiver.portBusy = true;
        return 0;
    }
    u_long blocking = 0;
    if (::ioctlsocket(s, FIONBIO, &blocking) != 0 ||
        ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) != 0)
        return 0;
    ::SetEvent(receiver.ready.Get());

    uint8_t buffer[mgmt::kReceiveBufferSize];
    while (!receiver.stop) {
        std::memset(buffer, 0, sizeof buffer);
        sockaddr_in from{};
        int fromLength = sizeof from;
        const int n = ::recvfrom(s, reinterpret_cast<char*>(buffer), sizeof buffer, 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (receiver.stop) break;
        if (n <= 0) {
            // An oversized datagram is simply skipped; a broken socket must not spin.
            if (n < 0 && ::WSAGetLastError() != WSAEMSGSIZE) ::Sleep(10);
            continue;
        }
        // Datagrams shorter than a reply read as zeros beyond their end and fail the test.
        if (auto server = mgmt::ParseQuarrowDiscoveryReply(mgmt::Datagram(buffer, static_cast<size_t>(n)))) {
            {
                std::lock_guard<std::mutex> lock(receiver.mutex);
                receiver.arrived.push_back(std::move(*server));
            }
            ::SendMessageA(receiver.dialog, kServerFound, 0, 0);
        }
    }
    return 1;
}

DWORD WINAPI ReceiveThread(LPVOID parameter) {
    std::unique_ptr<std::shared_ptr<CSearchServerDlg::Receiver>> hold(
        static_cast<std::shared_ptr<CSearchServerDlg::Receiver>*>(parameter));
    CSearchServerDlg::Receiver& receiver = **hold;
    // First, before the socket: the dialog waits for this before it sends.
    receiver.running = true;
    DWORD result = 0;
    try {
        result = ReceiveLoop(receiver);
    } catch (...) {
        result = 0;
    }
    CloseReceiverSocket(receiver);
    receiver.running = false;
    ::SetEvent(receiver.ready.Get());  // also when it gave up before listening
    return result;
}

}  // namespace

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
    if (g_firstGetServer.exchange(false)) {
        settings::CSettings settings;
        std::string address = settings.DefaultServer();
        if (!address.empty()) {
            address_ = address;
            display_ = settings.DefaultServerDisplayName();
            return address_;
        }
    }
    return AskServer(parent);
}

std::string CSearchServerDlg::AskServer(HWND parent) {
    if (DoModal(::GetModuleHandleA(nullptr), IDD_SELECT_SERVER, parent) != IDOK) address_.clear();
    return address_;
}

BOOL CSearchServerDlg::OnInitDialog() {
    StartReceiver();
    SendProbe();
    if (receiver_->portBusy) ::PostMessageA(Hwnd(), kReportPortBusy, 0, 0);

    ::SetWindowTextA(Hwnd(), win::LoadResString(IDS_SELSERVER_CAPTION).c_str());
    SetItemText(IDC_SERVER_PROMPT, win::LoadResString(IDS_SELSERVER_PROMPT));
    SetItemText(IDC_SERVER_RESCAN, win::LoadResString(IDS_SELSERVER_RESCAN));
    SetItemText(IDC_SERVER_REMEMBER, win::LoadResString(IDS_SELSERVER_REMEMBER));
    SetItemText(IDOK, win::LoadResString(IDS_SELSERVER_OK));
    SetItemText(IDCANCEL, win::LoadResString(IDS_SELSERVER_CANCEL));
    return TRUE;
}

void CSearchServerDlg::StartReceiver() {
    receiver_ = std::make_shared<Receiver>();
    receiver_->dialog = Hwnd();
    auto* reference = new std::shared_ptr<Receiver>(receiver_);
    thread_.Attach(::CreateThread(nullptr, 0, &ReceiveThread, reference, 0, nullptr));
    if (!thread_) {
        delete reference;
        return;
    }
    // No reply may come before the socket is bound, and whether it could be
    // bound decides what the user is told. The thread sends nothing to this
    // window before then, so a plain wait is safe.
    HANDLE waits[] = {receiver_->ready.Get(), thread_.Get()};
    ::WaitForMultipleObjects(2, waits, FALSE, 10000);
}

void CSearchServerDlg::OnRescan() {
    // The port may be free by now: a receive thread that could not bind it
    // has ended, and a new one tries again.
    if (receiver_ && receiver_->portBusy && (!thread_ || ::WaitForSingleObject(thread_.Get(), 0) == WAIT_OBJECT_0)) {
        thread_.Close();
        StartReceiver();
    }
    SendProbe();
    if (receiver_ && receiver_->portBusy) ReportPortBusy();
}

void CSearchServerDlg::ReportPortBusy() {
    // Not while closing: the list is no longer of interest then.
    if (!receiver_ || receiver_->stop || !receiver_->portBusy) return;
    ShowMessage(Hwnd(), IDS_DISCOVERY_PORT_BUSY);
}

void CSearchServerDlg::SendProbe() {
    ::SendDlgItemMessageA(Hwnd(), IDC_SERVER_LIST, LB_RESETCONTENT, 0, 0);
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
    HWND list = Item(IDC_SERVER_LIST);
    ::SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ServerEntryText(server).c_str()));
    int count = static_cast<int>(::SendMessageA(list, LB_GETCOUNT, 0, 0));
    int selection = static_cast<int>(::SendMessageA(list, LB_GETCURSEL, 0, 0));
    if (SelectFirstAfterAppend(selection, count)) ::SendMessageA(list, LB_SETCURSEL, 0, 0);
}

void CSearchServerDlg::OnOk() {
    HWND list = Item(IDC_SERVER_LIST);
    int selection = static_cast<int>(::SendMessageA(list, LB_GETCURSEL, 0, 0));
    if (selection == LB_ERR || selection >= static_cast<int>(servers_.size())) {
        ShowMessage(Hwnd(), IDS_SELECT_SERVER);
        return;
    }
    int length = static_cast<int>(::SendMessageA(list, LB_GETTEXTLEN, selection, 0));
    std::string text(length > 0 ? static_cast<size_t>(length) + 1 : 1, '\0');
    if (length > 0) ::SendMessageA(list, LB_GETTEXT, selection, reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::strlen(text.c_str()));
    display_ = text;
    address_ = mgmt::FormatIpv4(servers_[static_cast<size_t>(selection)].address);

    if (::IsDlgButtonChecked(Hwnd(), IDC_SERVER_REMEMBER) == BST_CHECKED)
        settings::CSettings().RememberServer(address_, display_);
    else
        settings::CSettings().ForgetServer();
    End(IDOK);
}

void CSearchServerDlg::OnDestroy() {
    if (!receiver_) return;
    receiver_->stop = true;
    // The probe wakes the receive thread's blocking wait: it arrives on the
    // thread's own socket, and the thread then sees the stop flag.
    SendProbe();
    WaitForReceiver();
    thread_.Close();
}

void CSearchServerDlg::WaitForReceiver() {
    if (!thread_) return;
    // The receive thread may be inside a sent message to this window right
    // now: keep taking sent messages (and only those) while waiting.
    const DWORD begin = ::GetTickCount();
    DWORD lastProbe = begin;
    bool socketClosed = false;
    for (;;) {
        HANDLE thread = thread_.Get();
        DWORD wait = ::MsgWaitForMultipleObjects(1, &thread, FALSE, 100, QS_SENDMESSAGE);
        if (wait == WAIT_OBJECT_0) return;
        if (wait == WAIT_OBJECT_0 + 1) {
            MSG msg;
            ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        const DWORD now = ::GetTickCount();
        if (now - begin >= 10000) return;  // it no longer touches the dialog once stop is set
        if (!socketClosed && now - begin >= 3000) {
            // No probe got through (no network at all): close the socket under
            // the blocked receive, which ends it.
            CloseReceiverSocket(*receiver_);
            socketClosed = true;
        } else if (now - lastProbe >= 1000) {
            mgmt::SendDiscoveryProbe();
            lastProbe = ::GetTickCount();
        }
    }
}

}  // namespace dialogs
