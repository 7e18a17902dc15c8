#include "wizard/KestaneDlg.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "common/Dpi.h"
#include "wizard/KestaneRes.h"

namespace kestane {

namespace {

constexpr const char* kStatusIcons[] = {"status_new.ico", "status_done.ico", "status_failed.ico", "status_busy.ico"};
constexpr int kStatusIconIds[] = {IDI_STATUS_NEW, IDI_STATUS_DONE, IDI_STATUS_FAILED, IDI_STATUS_BUSY};
constexpr const char* kStatusKeys[] = {"Status_New", "Status_SetSuccess", "Status_SetFail", "Status_Busy"};

// What the address page says about a search that proposes no address.
constexpr ProposalNotice kNotFoundNoticeText{"SearchIP_Notfound", ""};
constexpr ProposalNotice kNoPingNoticeText{
    "SearchIP_NoPing",
    "The wizard cannot check which addresses are free on your network. Please enter a free address for the server."};
constexpr const ProposalNotice* kNotFoundNotice = &kNotFoundNoticeText;
constexpr const ProposalNotice* kNoPingNotice = &kNoPingNoticeText;

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

// --- wait dialog --------------------------------------------------------------------

CWaitDialolg::CWaitDialolg(const IniFiles& files, Mode mode) : files_(files), mode_(mode) {
    // Escape and Enter must not end the wait: only the exchange that it waits for does.
    OnClicked(IDCANCEL, [] {});
    OnClicked(IDOK, [] {});
    OnMessage(WM_CLOSE, [](WPARAM, LPARAM) { return TRUE; });
}

BOOL CWaitDialolg::OnInitDialog() {
    const bool verify = mode_ == kVerifyPassword;
    SetText(ReadIniText(files_.config, "Control_String", verify ? "VerfyPWD_Title" : "SearchIP_Title", ""));
    SetItemText(IDC_WAIT_TEXT,
                ReadIniText(files_.config, "Control_String", verify ? "VerfyPWD_MSG" : "SearchIP_MSG", ""));
    if (closeRequested_) End(1);
    return TRUE;
}

void CWaitDialolg::Close() {
    closeRequested_ = true;
    if (Hwnd()) End(1);
}

// --- set-up ---------------------------------------------------------------------------

CKestaneDlg::CKestaneDlg(IniFiles files) : files_(std::move(files)) {
    data_.config = mgmt::DefaultServerConfig();

    // Escape never closes the wizard, and Enter presses no hidden button.
    OnClicked(IDCANCEL, [] {});
    OnClicked(IDOK, [] {});
    OnClicked(IDC_EXIT, [] { ::ExitProcess(1); });
    // Closing the window is the same as Exit.
    OnMessage(WM_CLOSE, [](WPARAM, LPARAM) -> INT_PTR {
        ::ExitProcess(1);
        return 0;
    });

    OnClicked(IDC_RESCAN, [this] { Rescan(); });
    // The Home button (never shown) starts again from the server list.
    OnClicked(IDC_HOME, [this] { GoTo(kHomePage, Direction::Prev); });

    const auto table = PageTable();
    for (int page = 0; page < static_cast<int>(table.size()); ++page) {
        const PageEntry& entry = table[page];
        pages_.push_back(entry.make(*this));
        pages_.back()->AddCommands(
            [this](int id, UINT code, std::function<void()> handler) { OnCommand(id, code, std::move(handler)); });
        if (entry.nextButton) OnClicked(entry.nextButton, [this, page] { Step(page, Direction::Next); });
        if (entry.prevButton) OnClicked(entry.prevButton, [this, page] { Step(page, Direction::Prev); });
    }

    OnNotify(IDC_SERVER_LIST, LVN_ITEMCHANGED, [this](NMHDR*) -> INT_PTR {
        UpdateStatusLine();
        return 0;
    });
    // The warning that data will be erased is drawn in red.
    OnMessage(WM_CTLCOLORSTATIC, [this](WPARAM wp, LPARAM lp) -> INT_PTR {
        if (::GetDlgCtrlID(reinterpret_cast<HWND>(lp)) != IDC_ERASED) {
            PassToDefault();
            return 0;
        }
        HDC dc = reinterpret_cast<HDC>(wp);
        ::SetTextColor(dc, RGB(255, 0, 0));
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<INT_PTR>(::GetSysColorBrush(COLOR_BTNFACE));
    });
    OnTimer([this](UINT_PTR id) {
        switch (id) {
        case kConfigTimeout.id:
            OnConfigTimeout();
            break;
        case kRescanPause.id:
            KillTimerOf(kRescanPause);
            EnableItem(IDC_RESCAN);
            SetItemText(IDC_RESCAN, Control("Home_Rescan_Position", "Rescan"));
            break;
        case kQueryTimeout.id:
            OnQueryTimeout();
            break;
        case kSearchTimeout.id:
            KillTimerOf(kSearchTimeout);
            if (search_) search_->timedOut = true;
            break;
        case kRestartWait.id:
            KillTimerOf(kRestartWait);
            configuring_ = false;
            GoTo(kSuccessPage, Direction::Next);
            break;
        }
    });
    OnMessage(WM_SERVER_FOUND, [this](WPARAM, LPARAM) -> INT_PTR {
        AddServerRows();
        return 0;
    });
    OnMessage(WM_QUERY_READY, [this](WPARAM wp, LPARAM) -> INT_PTR {
        if (EndQuery(static_cast<UINT>(wp))) OnQueryReady();
        return 0;
    });
    OnMessage(WM_QUERY_BUSY, [this](WPARAM wp, LPARAM) -> INT_PTR {
        if (!EndQuery(static_cast<UINT>(wp))) return 0;
        CloseWait();
        ShowFailPage(ApplyControlEscapes(Message("busy_board")));
        return 0;
    });
    OnMessage(WM_ADDRESS_FOUND, [this](WPARAM wp, LPARAM) -> INT_PTR {
        OnAddressFound(static_cast<UINT>(wp));
        return 0;
    });
    OnMessage(WM_CONFIG_PROGRESS, [this](WPARAM wp, LPARAM) -> INT_PTR {
        OnProgress(static_cast<int32_t>(wp));
        return 0;
    });
    OnMessage(WM_CONFIG_BOARD_BUSY, [this](WPARAM, LPARAM) -> INT_PTR {
        FailConfiguration(ApplyControlEscapes(Message("busy_board")));
        return 0;
    });
    OnMessage(WM_CONFIG_FAILURE, [this](WPARAM wp, LPARAM) -> INT_PTR {
        FailConfiguration(FailureText(static_cast<int32_t>(wp), MessageSource()));
        return 0;
    });
    // Moved to a display of another scale: the page, its fonts and icons
    // again at the new scale, in the rectangle the system proposes.
    OnMessage(WM_DPICHANGED, [this](WPARAM wp, LPARAM lp) -> INT_PTR {
        const auto* suggested = reinterpret_cast<const RECT*>(lp);
        if (!suggested || LOWORD(wp) == 0) return 0;
        dpi_ = LOWORD(wp);
        ::SetWindowPos(Hwnd(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        SetIcons();
        SetTitleFont();
        LoadStatusImages();
        if (!LayoutPage(page_)) FailLayout();
        ::RedrawWindow(Hwnd(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
        return 0;
    });
    OnMessage(WM_CONFIG_RESTART, [this](WPARAM, LPARAM) -> INT_PTR {
        OnRestart();
        return 0;
    });
}

int CKestaneDlg::Px(int pixels) const { return win::ScaleToDpi(pixels, dpi_); }

void CKestaneDlg::SetIcons() {
    for (auto [which, metric] : {std::pair{ICON_BIG, SM_CXICON}, std::pair{ICON_SMALL, SM_CXSMICON}}) {
        const int size = win::SystemMetricAt(metric, dpi_);
        const auto icon = static_cast<HICON>(
            ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_KESTANE), IMAGE_ICON, size, size, 0));
        // The window hands back the icon of the last scale, which is ours to free.
        win::Icon old(
            reinterpret_cast<HICON>(::SendMessageA(Hwnd(), WM_SETICON, which, reinterpret_cast<LPARAM>(icon))));
    }
}

void CKestaneDlg::SetTitleFont() {
    win::GdiObject font(::CreateFontA(-Px(20), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, 134, OUT_DEFAULT_PRECIS,
                                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Gungsuh"));
    SendItemMessage(IDC_WIZARD_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    titleFont_ = std::move(font);
}

BOOL CKestaneDlg::OnInitDialog() {
    dpi_ = win::DpiOfWindow(Hwnd());
    SetIcons();
    // Every message box of the wizard carries the window's title.
    const std::string title = Control("Window_Name", "%&*");
    SetText(title);
    win::SetMessageTitle(title);
    std::srand(static_cast<unsigned>(std::time(nullptr)));

    ResetDefaults();
    for (auto& page : pages_) page->Prepare();

    // Controls that no page names stay hidden too.
    for (const auto& slot : ControlTable())
        if (slot.id) ShowItem(slot.id, false);
    for (int page = 0; page < static_cast<int>(pages_.size()); ++page) ShowPageControls(page, false);
    page_ = kHomePage;
    if (!LayoutPage(kHomePage)) FailLayout();
    ShowPageControls(kHomePage, true);
    HideUnusedControls();
    SizeWindow();

    SetTitleFont();
    SetUpServerList();
    RefreshAdapters();
    EnsureDiscoveryListener();
    Rescan();
    return TRUE;
}

// --- texts ------------------------------------------------------------------------------

std::string CKestaneDlg::Control(const char* key, const char* fallback) const {
    return ReadIniText(files_.config, "Control_String", key, fallback);
}

std::string CKestaneDlg::Message(const char* key, const char* fallback) const {
    return ReadIniText(files_.strings, "MESSAGE", key, fallback);
}

TextSource CKestaneDlg::MessageSource() const {
    return [this](const char* key, const char* fallback) { return Message(key, fallback); };
}

TextSource CKestaneDlg::ControlSource() const {
    return [this](const char* key, const char* fallback) { return Control(key, fallback); };
}

void CKestaneDlg::ShowMessage(const char* key, const char* fallback) {
    std::string text = Message(key, fallback);
    // A string.ini that lacks the key must not give an empty box: its name
    // at least tells the user (and support) which message it was.
    if (text.empty()) text = std::string("[") + key + "]";
    win::ShowMessage(Hwnd(), text, MB_OK | MB_ICONWARNING);
}

// --- layout -----------------------------------------------------------------------------

int CKestaneDlg::Lookup(const std::string& key) const {
    for (const auto& slot : ControlTable())
        if (slot.id && key == slot.key) return slot.id;
    return 0;
}

std::vector<std::string> CKestaneDlg::PageKeys(int page) const {
    std::vector<std::string> keys;
    // A section names at most as many controls as the table has slots.
    for (int i = 0; i < static_cast<int>(ControlTable().size()); ++i) {
        char name[24];
        std::snprintf(name, sizeof name, "control%d", i);
        std::string key = ReadIniText(files_.config, PageTable()[page].section, name, "");
        if (key.empty()) break;
        keys.push_back(std::move(key));
    }
    return keys;
}

bool CKestaneDlg::LayoutPage(int page) {
    for (const auto& key : PageKeys(page)) {
        const auto rect = ParseControlRect(ReadIniText(files_.config, PageTable()[page].section, key.c_str(), ""));
        const int control = Lookup(key);
        if (!rect || !control) return false;
        ::MoveWindow(Item(control), Px(rect->x), Px(rect->y), Px(rect->width), Px(rect->height), FALSE);
    }
    return true;
}

bool CKestaneDlg::ShowPageControls(int page, bool show) {
    for (const auto& key : PageKeys(page)) {
        const int control = Lookup(key);
        if (!control) return false;
        if (show) {
            char cls[32] = {};
            ::GetClassNameA(Item(control), cls, sizeof cls);
            // Lists and combo boxes have no text of their own to show.
            const std::string c = Lower(cls);
            if (c != "syslistview32" && c != "combobox")
                SetItemText(control, ApplyControlEscapes(Control(key.c_str())));
        }
        ShowItem(control, show);
    }
    return true;
}

void CKestaneDlg::FailLayout() {
    ShowMessage("load_image_error");
    ::ExitProcess(0);
}

void CKestaneDlg::GoTo(int page, Direction how) {
    ShowPage(page);
    pages_[page]->Enter(how);
}

void CKestaneDlg::Step(int page, Direction way) {
    if (pages_[page]->Leave(way) == Leaving::Stay) return;
    const PageEntry& entry = PageTable()[page];
    const int to = way == Direction::Next ? entry.next : entry.prev;
    if (to != kAnswerDecides) GoTo(to, way);
}

void CKestaneDlg::ShowPage(int page) {
    ShowPageControls(page_, false);
    page_ = page;
    if (!LayoutPage(page)) FailLayout();
    ::RedrawWindow(Hwnd(), nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN);
    ShowPageControls(page, true);
    HideUnusedControls();
    ::SetCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)));  // IDC_ARROW
}

void CKestaneDlg::HideUnusedControls() {
    // These exist for other editions of the box; this wizard never offers them.
    for (int id :
         {IDC_HOME, IDC_LOGIN_PREV, IDC_FORMAT_PREV, IDC_SYNCTIME, IDC_CONFIRM_CAPTION, IDC_PRINT, IDC_PRINT_LABEL})
        ShowItem(id, false);
    ShowItem(IDC_SETPWD_PREV, page_ == kSetPwdPage && data_.formatShown);
}

void CKestaneDlg::SizeWindow() {
    const auto size = WindowSizeFromText(ReadIniText(files_.config, "Pages", "Window_Size", "(0,0),(600,350)"));
    RECT r{};
    ::GetWindowRect(Hwnd(), &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    if (size) width = Px(size->width), height = Px(size->height);
    RECT work{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    ::SetWindowPos(Hwnd(), nullptr, work.left + (work.right - work.left - width) / 2,
                   work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER);
}

void CKestaneDlg::LoadStatusImages() {
    // Small icons at the window's scale: 16 pixels at 100 %.
    const int size = win::SystemMetricAt(SM_CXSMICON, dpi_);
    win::ImageList images(::ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 4, 0));
    for (int i = 0; i < 4; ++i) {
        // The image folder may carry icons of its own; the built-in ones stand in.
        const std::string path = files_.image + "\\" + kStatusIcons[i];
        win::Icon icon(
            static_cast<HICON>(::LoadImageA(nullptr, path.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE)));
        if (!icon)
            icon.Attach(static_cast<HICON>(::LoadImageA(
                ::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(kStatusIconIds[i]), IMAGE_ICON, size, size, 0)));
        // The list copies the icon.
        ::ImageList_AddIcon(images.Get(), icon.Get());
    }
    // The list destroys the images it holds when it goes (it does not share
    // them); the set of the last scale comes back to us.
    win::ImageList old(ListView_SetImageList(Item(IDC_SERVER_LIST), images.Detach(), LVSIL_SMALL));
}

void CKestaneDlg::SetUpServerList() {
    HWND list = Item(IDC_SERVER_LIST);
    LoadStatusImages();
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_FLATSB | LVS_EX_INFOTIP);
    RECT client{};
    ::GetClientRect(list, &client);
    const int width = client.right - client.left;
    const std::string headers[3] = {Control("Name", "Name"), Control("IP", "IP Address"),
                                    Control("Mac", "Hardware Address")};
    const int widths[3] = {width * 2 / 5, width / 5, width - width * 2 / 5 - width / 5};
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(headers[i].c_str());
        column.cx = widths[i];
        column.iSubItem = i;
        ::SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
}

// --- controls ------------------------------------------------------------------------------

std::string CKestaneDlg::AddressText(int id) const {
    DWORD address = 0;
    SendItemMessage(id, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address));
    return DottedText(FromHost(address));
}

void CKestaneDlg::SetAddressText(int id, const std::string& text) {
    if (text.empty()) {
        SendItemMessage(id, IPM_CLEARADDRESS);
        return;
    }
    SendItemMessage(id, IPM_SETADDRESS, 0, static_cast<LPARAM>(ToHost(OctetsFromText(text))));
}

void CKestaneDlg::SetTimerOf(const WizardTimer& timer) { ::SetTimer(Hwnd(), timer.id, TimerPeriod(timer), nullptr); }
void CKestaneDlg::KillTimerOf(const WizardTimer& timer) { ::KillTimer(Hwnd(), timer.id); }

// --- listeners -------------------------------------------------------------------------------

void CKestaneDlg::StartListenerOf(mgmt::ListenerKind kind) {
    StopCurrentListener();
    listenerKind_ = kind;
    listener_ = mgmt::StartListener(kind, *this);
}

void CKestaneDlg::StopCurrentListener() {
    if (listener_) mgmt::StopListener(*this, listener_);
    listener_.Close();
}

void CKestaneDlg::EnsureDiscoveryListener() {
    if (listener_ && listenerKind_ == mgmt::ListenerKind::Discovery &&
        ::WaitForSingleObject(listener_.Get(), 0) == WAIT_TIMEOUT && !stop)
        return;
    StartListenerOf(mgmt::ListenerKind::Discovery);
}

void CKestaneDlg::RefreshAdapters() {
    netutil::PcNetValues values;
    netutil::QueryAdapters(values);
    values.dhcp = PcUsesDhcp(values.dhcp);
    std::lock_guard<std::mutex> lock(pcLock_);
    pc_ = std::move(values);
}

mgmt::Mac CKestaneDlg::PcMac() const {
    std::lock_guard<std::mutex> lock(pcLock_);
    return pc_.mac;
}

mgmt::Mac CKestaneDlg::SelectedServerMac() const { return selectedMac_; }

void CKestaneDlg::ServerFound(const mgmt::FoundServer& server) {
    {
        std::lock_guard<std::mutex> lock(eventLock_);
        found_.push_back(server);
    }
    ::PostMessageA(Hwnd(), WM_SERVER_FOUND, 0, 0);
}

void CKestaneDlg::StateReply(const mgmt::StateReplyData& data) {
    std::lock_guard<std::mutex> lock(eventLock_);
    received_ = data;
}

void CKestaneDlg::InfoReply(const mgmt::InfoReplyData&) {
    // The state reply before it holds all that the pages need.
    ::PostMessageA(Hwnd(), WM_QUERY_READY, query_, 0);
}

void CKestaneDlg::Busy() { ::PostMessageA(Hwnd(), WM_QUERY_BUSY, query_, 0); }
void CKestaneDlg::Progress(int32_t subCode) { ::PostMessageA(Hwnd(), WM_CONFIG_PROGRESS, subCode, 0); }
void CKestaneDlg::Failure(int32_t subCode) { ::PostMessageA(Hwnd(), WM_CONFIG_FAILURE, subCode, 0); }
void CKestaneDlg::BoardBusy() { ::PostMessageA(Hwnd(), WM_CONFIG_BOARD_BUSY, 0, 0); }
void CKestaneDlg::Restart() { ::PostMessageA(Hwnd(), WM_CONFIG_RESTART, 0, 0); }

// --- server list page ------------------------------------------------------------------------

void CKestaneDlg::ResetDefaults() {
    data_.config = mgmt::DefaultServerConfig();
    data_.formatShown = data_.addressFilled = data_.timeListsFilled = data_.daylightSetOnce = false;
    data_.passwordPassed = false;
    ForgetAddressProposal();
}

void CKestaneDlg::Rescan() {
    SetItemText(IDC_RESCAN, Control("Home_Rescaning_Position", "Rescaning..."));
    EnableItem(IDC_RESCAN, false);
    SetTimerOf(kRescanPause);
    // A reply that the listener is handing over right now is either forgotten
    // with the table or arrives after it, never half of each.
    ForgetServers([this] {
        std::lock_guard<std::mutex> lock(eventLock_);
        found_.clear();
    });
    ListView_DeleteAllItems(Item(IDC_SERVER_LIST));
    rows_.clear();
    ResetDefaults();
    EnsureDiscoveryListener();
    mgmt::SendDiscoveryProbe();
    EnableItem(IDC_HOME_NEXT, !rows_.empty());
    UpdateStatusLine();
}

void CKestaneDlg::AddServerRows() {
    std::deque<mgmt::FoundServer> found;
    {
        std::lock_guard<std::mutex> lock(eventLock_);
        found.swap(found_);
    }
    HWND list = Item(IDC_SERVER_LIST);
    for (const auto& server : found) {
        const int row = static_cast<int>(rows_.size());
        rows_.push_back(server);
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = row;
        item.pszText = const_cast<char*>(server.name.c_str());
        item.iImage = server.status < 4 ? server.status : I_IMAGENONE;
        ::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        const std::string address = mgmt::FormatIpv4(server.address), mac = mgmt::FormatMac(server.mac);
        ListView_SetItemText(list, row, 1, const_cast<char*>(address.c_str()));
        ListView_SetItemText(list, row, 2, const_cast<char*>(mac.c_str()));
        ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(list, 0, FALSE);
        EnableItem(IDC_HOME_NEXT, true);
        if (page_ == kHomePage) FocusItem(IDC_SERVER_LIST);
    }
    UpdateStatusLine();
}

int CKestaneDlg::SelectedRow() const {
    const int row = ListView_GetNextItem(Item(IDC_SERVER_LIST), -1, LVNI_SELECTED);
    return row >= 0 && row < static_cast<int>(rows_.size()) ? row : -1;
}

void CKestaneDlg::UpdateStatusLine() {
    const int row = SelectedRow();
    if (row < 0) {
        SetItemText(IDC_NAS_STATUS, "");
        EnableItem(IDC_HOME_NEXT, false);
        return;
    }
    const uint8_t status = rows_[row].status;
    SetItemText(IDC_NAS_STATUS, status < 4 ? Control(kStatusKeys[status]) : std::string());
    EnableItem(IDC_HOME_NEXT, status != 3);
}

bool CKestaneDlg::TakeSelectedServer() {
    const int row = SelectedRow();
    if (row < 0) {
        EnableItem(IDC_HOME_NEXT, false);
        ShowMessage("select_ip");
        return false;
    }
    StopCurrentListener();
    selectedMac_ = rows_[row].mac;
    return true;
}

// --- state query ------------------------------------------------------------------------------------

void CKestaneDlg::StartStateQuery() {
    querying_ = true;
    ::SetCursor(::LoadCursorA(nullptr, MAKEINTRESOURCEA(32514)));  // IDC_WAIT
    SetTimerOf(kQueryTimeout);
    StartListenerOf(mgmt::ListenerKind::State);
    // Counted once the listener of an earlier query has ended and before the
    // new one can hear an answer: whatever the earlier one posted on its way
    // out is not this query's answer.
    ++query_;
    mgmt::SendStateQuery(*this);
    CWaitDialolg wait(files_, CWaitDialolg::kVerifyPassword);
    wait_ = &wait;
    wait.DoModal(::GetModuleHandleA(nullptr), IDD_WAIT, Hwnd());
    wait_ = nullptr;
}

void CKestaneDlg::CloseWait() {
    if (wait_) wait_->Close();
}

void CKestaneDlg::ShowFailPage(const std::string& text) {
    GoTo(kFailPage, Direction::Next);
    SetItemText(IDC_FAIL, text);
}

bool CKestaneDlg::EndQuery(UINT query) {
    // Once the time-out has ended the query, or for an answer to an earlier
    // one, there is nothing left to end.
    if (!querying_ || query != query_) return false;
    querying_ = false;
    KillTimerOf(kQueryTimeout);
    return true;
}

void CKestaneDlg::OnQueryTimeout() {
    KillTimerOf(kQueryTimeout);
    if (!querying_) return;  // the answer came in just before
    querying_ = false;
    StopCurrentListener();
    CloseWait();
    ShowFailPage(Message("TimeOut", "Connect error!") + "\r\n" +
                 Message("check_connect", "The configuration of storage server is not complete."));
}

void CKestaneDlg::OnQueryReady() {
    {
        std::lock_guard<std::mutex> lock(eventLock_);
        state_ = received_;
    }
    listener_.Close();  // it ended itself with the answer
    if (data_.loginPassword != state_.password) {
        CloseWait();
        ShowMessage("Current_Pwd_Error");
        FocusItem(IDC_LOGIN_PWD);
        return;
    }
    mgmt::SetConfigText(data_.config.password, state_.password);
    data_.config.raidFound = state_.raidFound;
    data_.config.disk1Present = state_.disk1Present, data_.config.disk1Ready = state_.disk1Ready;
    data_.config.disk2Present = state_.disk2Present, data_.config.disk2Ready = state_.disk2Ready;
    bool dhcp;
    {
        std::lock_guard<std::mutex> lock(pcLock_);
        dhcp = pc_.dhcp;
    }
    data_.config.autoAddress = dhcp ? 1 : 0;
    ForgetAddressProposal();  // whatever was proposed for the server of an earlier login
    if (!dhcp) DecideAddressProposal(state_);

    const DiskState disks{state_.raidFound, state_.disk1Present, state_.disk1Ready, state_.disk2Present,
                          state_.disk2Ready};
    CloseWait();
    switch (DecideDisks(disks)) {
    case DiskDecision::Ready:
        GoTo(kSetPwdPage, Direction::Next);
        break;
    case DiskDecision::Format:
        GoTo(kFormatPage, Direction::Next);
        break;
    case DiskDecision::NoDisk:
        GoTo(kHddErrorPage, Direction::Next);
        break;
    case DiskDecision::Undecided:
        break;
    }
}

void CKestaneDlg::ForgetAddressProposal() {
    KillTimerOf(kSearchTimeout);
    if (search_) search_->abandoned = true;
    search_.reset();
    ++searchGeneration_;
    proposal_.clear();
    proposalKnown_ = false;
    proposalNotice_ = nullptr;
}

void CKestaneDlg::DecideAddressProposal(const mgmt::StateReplyData& state) {
    Octets ip, mask;
    {
        std::lock_guard<std::mutex> lock(pcLock_);
        ip = OctetsFromText(pc_.ip), mask = OctetsFromText(pc_.mask);
    }
    const Octets server{state.address[0], state.address[1], state.address[2], state.address[3]};
    if (KeepsServerAddress(server, state.addressFlag, ip, mask)) {
        proposal_ = DottedText(server);
        proposalKnown_ = true;
        return;
    }
    auto search = std::make_shared<AddressSearch>();
    search->window = Hwnd();
    search->generation = searchGeneration_;
    search->ip = ip, search->mask = mask;
    search->pingRoutes = PingRoutes();
    // The thread holds a share of its search and is never waited for: a ping
    // in flight cannot be cut short, and a search left behind ends by itself.
    auto* share = new std::shared_ptr<AddressSearch>(search);
    win::Handle thread(::CreateThread(nullptr, 0, &CKestaneDlg::SearchThread, share, 0, nullptr));
    if (!thread) {  // no thread: nothing to wait for
        delete share;
        proposal_ = kNoAddress;
        proposalKnown_ = true;
        proposalNotice_ = kNotFoundNotice;
        return;
    }
    search_ = std::move(search);
    SetTimerOf(kSearchTimeout);
}

DWORD WINAPI CKestaneDlg::SearchThread(LPVOID parameter) {
    const std::unique_ptr<std::shared_ptr<AddressSearch>> share(
        static_cast<std::shared_ptr<AddressSearch>*>(parameter));
    AddressSearch& search = **share;
    SearchResult result{kNoAddress, true};
    try {
        result = SearchFreeAddress(
            search.ip, search.mask, [&search] { return search.timedOut || search.abandoned; },
            [&search](const std::string& address) {
                switch (netutil::Ping(address.c_str(), search.pingRoutes)) {
                case netutil::PingResult::Answered:
                    return Probe::Taken;
                case netutil::PingResult::NoAnswer:
                    return Probe::Free;
                case netutil::PingResult::Impossible:
                    break;
                }
                return Probe::Unknown;
            });
    } catch (...) {
        // Nothing may leave a thread; the search then found nothing.
    }
    search.result = std::move(result);
    search.done.store(true, std::memory_order_release);
    ::PostMessageA(search.window, WM_ADDRESS_FOUND, search.generation, 0);
    return 0;
}

void CKestaneDlg::OnAddressFound(UINT generation) {
    // The answer of a search left behind by another login or a rescan
    // belongs to a server that is no longer the selected one.
    if (!search_ || search_->generation != generation || !search_->done.load(std::memory_order_acquire)) return;
    KillTimerOf(kSearchTimeout);
    const std::shared_ptr<AddressSearch> search = std::move(search_);
    const SearchResult& result = search->result;
    proposal_ = result.proposal;
    proposalKnown_ = true;
    // A search that ran out of time before it found anything proposes no
    // address either, and says so in the same words.
    if (result.unchecked) {
        proposalNotice_ = kNoPingNotice;
    } else if (result.nothingFound || result.proposal == kNoAddress) {
        proposalNotice_ = kNotFoundNotice;
    }
    if (!data_.passwordPassed || page_ != kSetPwdPage) return;
    CloseWait();
    if (search->timedOut && !result.unchecked) {
        ShowMessage("SearchIP_Fail");
        proposalNotice_ = nullptr;  // one word about the search is enough
    }
    GoTo(kSetIpPage, Direction::Next);
}

bool CKestaneDlg::AddressProposalReady() const {
    std::lock_guard<std::mutex> lock(pcLock_);
    return pc_.dhcp || proposalKnown_;
}

void CKestaneDlg::WaitForAddressProposal() {
    // OnAddressFound closes this wait when it shows the address page.
    while (!proposalKnown_ && page_ == kSetPwdPage) {
        CWaitDialolg wait(files_, CWaitDialolg::kSearchAddress);
        wait_ = &wait;
        wait.DoModal(::GetModuleHandleA(nullptr), IDD_WAIT, Hwnd());
        wait_ = nullptr;
    }
}

CKestaneDlg::AddressTexts CKestaneDlg::ProposedAddress() const {
    std::lock_guard<std::mutex> lock(pcLock_);
    return {proposal_, pc_.mask, pc_.gateway, pc_.dns};
}

void CKestaneDlg::SayProposalNotice() {
    // Said once: the notice is spent when shown.
    if (const ProposalNotice* notice = proposalNotice_) {
        proposalNotice_ = nullptr;
        ShowMessage(notice->key, notice->fallback);
    }
}

// --- configuration -----------------------------------------------------------------------------------

void CKestaneDlg::StartConfiguration() {
    configuring_ = true;
    SetTimerOf(kConfigTimeout);
    StartListenerOf(mgmt::ListenerKind::Configuration);
    mgmt::SendConfiguration(*this, data_.config);
}

void CKestaneDlg::OnProgress(int32_t subCode) {
    if (!configuring_) return;
    const char* key = mgmt::OperationKey(subCode);
    if (!key) return;
    SetItemText(IDC_HANDLING, Message(key));
    SetTimerOf(kConfigTimeout);
}

void CKestaneDlg::FailConfiguration(const std::string& text) {
    if (!configuring_) return;
    // The board refused or failed the work: whatever it reports later must
    // neither restart the progress time-out nor turn this page into success.
    configuring_ = false;
    KillTimerOf(kConfigTimeout);
    ShowFailPage(text);
}

void CKestaneDlg::OnRestart() {
    if (!configuring_) return;
    KillTimerOf(kConfigTimeout);
    SetItemText(IDC_HANDLING, Message("system_restart"));
    SetTimerOf(kRestartWait);
}

void CKestaneDlg::OnConfigTimeout() {
    KillTimerOf(kConfigTimeout);
    if (!configuring_) return;
    configuring_ = false;
    StopCurrentListener();
    ShowFailPage(Message("TimeOut", "Connect error!") + "\r\n" +
                 Message("not_Complete", "The configuration of storage server is not complete."));
}

}  // namespace kestane
