#include "app/JobPanel.h"

#include <commctrl.h>

#include <algorithm>

#include "resources/resource.h"
#include "client/WebFtpKey.h"
#include "common/Dialog.h"
#include "common/Dpi.h"

namespace app {

namespace {

constexpr int kRows = CMyListCtrl::kRows;

// Client-pixel layout at 100 % (other display scales scale it); everything
// right of the list follows the client width W.
constexpr int kMargin = 11;
constexpr int kHeadingAbove = 25;  // heading and Add button above the list
constexpr int kAddLeft = 200;
constexpr int kPanel = 239;  // the row panel starts at W - kPanel
constexpr int kPanelWidth = 208;
constexpr int kListHeight = 241;
constexpr int kHeaderHeight = CMyListCtrl::kHeaderHeight;
constexpr int kRowHeight = CMyListCtrl::kRowHeight;
constexpr int kJobColumnWidth = 100;
constexpr int kScrollFromRight = 30, kScrollWidth = 20;
// A drop-down list's height includes its list; the field itself is as high as the row.
constexpr int kDropDownRows = 5;

std::vector<JobRow> BtRows(const CurrentStatus& status) {
    std::vector<JobRow> rows;
    for (const client::BTItem& job : status.btItems) rows.push_back(BtJobRow(job));
    return rows;
}

std::vector<JobRow> WebFtpRows(const CurrentStatus& status) {
    std::vector<JobRow> rows;
    for (const client::WebFTPItem& job : status.webFtpItems) rows.push_back(WebFtpJobRow(job));
    return rows;
}

void AddColumns(HWND list, const std::vector<UINT>& textIds, int width) {
    int index = 0;
    for (UINT id : textIds) {
        std::string text = win::LoadResString(id);
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
        column.fmt = LVCFMT_LEFT;
        column.cx = width;
        column.pszText = text.data();
        ::SendMessageA(list, LVM_INSERTCOLUMNA, index++, reinterpret_cast<LPARAM>(&column));
    }
}

void SetColumnWidths(HWND list, int count, int width) {
    for (int c = 0; c < count; ++c) ListView_SetColumnWidth(list, c, width);
}

void Place(HWND item, int x, int y, int w, int h) {
    ::SetWindowPos(item, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MoveTo(HWND item, int x, int y) {
    ::SetWindowPos(item, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

// Each of these changes a row control only where it differs: under Wine every
// change is a request to the window server or several, for each of the 50
// row controls at every refresh.
void ShowIfChanged(HWND item, bool show) {
    if (((::GetWindowLongPtrA(item, GWL_STYLE) & WS_VISIBLE) != 0) != show) ::ShowWindow(item, show ? SW_SHOW : SW_HIDE);
}

void EnableIfChanged(HWND item, bool enable) {
    if ((::IsWindowEnabled(item) != FALSE) != enable) ::EnableWindow(item, enable ? TRUE : FALSE);
}

void SetTextIfChanged(HWND item, const std::string& text) {
    char shown[64] = "";
    if (text.size() >= sizeof shown || ::GetWindowTextA(item, shown, sizeof shown) != static_cast<int>(text.size()) ||
        text != shown)
        ::SetWindowTextA(item, text.c_str());
}

void SelectIfChanged(HWND box, int entry) {
    if (::SendMessageA(box, CB_GETCURSEL, 0, 0) != entry)
        ::SendMessageA(box, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
}

// A control's rectangle in its dialog's client coordinates.
RECT ClientRectOf(HWND dialog, HWND item) {
    RECT rect = {};
    ::GetWindowRect(item, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace

JobRow BtJobRow(const client::BTItem& job) {
    return {job.itemId,
            {job.name, job.contents, job.remainingTime, job.totalSize, job.schedule, job.throughput, job.status},
            static_cast<COLORREF>(job.textColor),
            static_cast<COLORREF>(job.backColor),
            job.paused != 0,
            job.priority};
}

JobRow WebFtpJobRow(const client::WebFTPItem& job) {
    return {client::BuildWebFtpKey(job),
            {job.fileName, job.size, job.loadedSize, job.status, job.savePath, job.url},
            static_cast<COLORREF>(job.textColor),
            static_cast<COLORREF>(job.backColor),
            job.paused != 0,
            0};
}

int ScrollMaximum(size_t jobs) { return jobs > size_t(kRows) ? static_cast<int>(jobs) - kRows : 0; }

int ClampedPosition(int position, size_t jobs) { return std::clamp(position, 0, ScrollMaximum(jobs)); }

int ShownRows(size_t jobs) { return static_cast<int>(std::min<size_t>(jobs, kRows)); }

const JobRow* JobAtRow(const std::vector<JobRow>& jobs, int position, int row) {
    if (row < 0 || row >= kRows) return nullptr;
    size_t index = static_cast<size_t>(std::max(position, 0)) + static_cast<size_t>(row);
    return index < jobs.size() ? &jobs[index] : nullptr;
}

const JobKind kBtJobs = {
    .headingId = IDC_MAIN_BT_HEADING,
    .addId = IDC_MAIN_BT_ADD,
    .listId = IDC_MAIN_BT_LIST,
    .actionsId = IDC_MAIN_BT_ACTIONS,
    .fillerId = IDC_MAIN_BT_FILLER,
    .scrollId = IDC_MAIN_BT_SCROLL,
    .headingText = IDS_MAIN_BT_HEADING,
    .addText = IDS_MAIN_BT_ADD,
    .top = 36,
    .columns = {IDS_BTCOL_NAME, IDS_BTCOL_CONTENTS, IDS_BTCOL_REMAINING_TIME, IDS_BTCOL_TOTAL_SIZE, IDS_BTCOL_SCHEDULE,
                IDS_BTCOL_THROUGHPUT, IDS_BTCOL_STATUS},
    .tips = {true, true, false},  // "Name", "Contents"
    .actionColumns = {IDS_BTACT_PRIORITY, IDS_BTACT_ACTION, IDS_BTACT_REMOVE},
    .actionWidth = 68,
    .rowControls = {{RowRole::Priority, IDC_BT_PRIORITY_FIRST, 239, 68},
                    {RowRole::PauseResume, IDC_BT_ACTION_FIRST, 171, 68},
                    {RowRole::Remove, IDC_BT_REMOVE_FIRST, 99, 68}},
    .pauseText = IDS_BT_PAUSE,
    .resumeText = IDS_BT_RESUME,
    .removeText = IDS_BT_REMOVE,
    .rowsOf = BtRows,
    .serviceOn = &CurrentStatus::btOn,
    .pause = client::OperationKind::PauseBtItem,
    .resume = client::OperationKind::ResumeBtItem,
    .remove = client::OperationKind::RemoveBtItem,
    .setPriority = client::OperationKind::SetBtPriority,
};

const JobKind kWebFtpJobs = {
    .headingId = IDC_MAIN_WEB_HEADING,
    .addId = IDC_MAIN_WEB_ADD,
    .listId = IDC_MAIN_WEB_LIST,
    .actionsId = IDC_MAIN_WEB_ACTIONS,
    .fillerId = IDC_MAIN_WEB_FILLER,
    .scrollId = IDC_MAIN_WEB_SCROLL,
    .headingText = IDS_MAIN_WEBFTP_HEADING,
    .addText = IDS_MAIN_WEBFTP_ADD,
    .top = 322,
    .columns = {IDS_WEBCOL_FILE_NAME, IDS_WEBCOL_SIZE, IDS_WEBCOL_LOAD_SIZE, IDS_WEBCOL_STATUS, IDS_WEBCOL_SAVE_PATH,
                IDS_WEBCOL_URL},
    .tips = {true, false, true},  // "File Name", "URL"
    .actionColumns = {IDS_WEBACT_ACTION, IDS_WEBACT_REMOVE},
    .actionWidth = 102,
    .rowControls = {{RowRole::PauseResume, IDC_WEB_ACTION_FIRST, 239, 102},
                    {RowRole::Remove, IDC_WEB_REMOVE_FIRST, 137, 102}},
    .pauseText = IDS_WEBFTP_PAUSE,
    .resumeText = IDS_WEBFTP_RESUME,
    .removeText = IDS_WEBFTP_REMOVE,
    .rowsOf = WebFtpRows,
    .serviceOn = &CurrentStatus::webFtpOn,
    .pause = client::OperationKind::PauseWebFtpItem,
    .resume = client::OperationKind::ResumeWebFtpItem,
    .remove = client::OperationKind::RemoveWebFtpItem,
    .setPriority = std::nullopt,
};

CJobPanel::CJobPanel(const JobKind& kind, int focusId)
    : kind_(kind), focusId_(focusId), scroll_(*this, kind.scrollId) {}

int CJobPanel::Px(int pixels) const { return win::ScaleToDpi(pixels, dpi_); }

template <typename Visit>
void CJobPanel::ForEachRowControl(Visit&& visit) const {
    for (int r = 0; r < kRows; ++r)
        for (const RowControl& control : kind_.rowControls) visit(Item(control.firstId + r), control, r);
}

void CJobPanel::Attach(HWND dialog, UINT dpi) {
    dialog_ = dialog;
    // The rows are measured while the list is attached: at the window's scale.
    SetDpi(dpi);
    list_.AttachItem(dialog_, kind_.listId);
    scroll_.AttachItem(dialog_, kind_.scrollId);
    list_.EnableTips(kind_.tips[0], kind_.tips[1], kind_.tips[2]);

    ::SetDlgItemTextA(dialog_, kind_.headingId, win::LoadResString(kind_.headingText).c_str());
    ::SetDlgItemTextA(dialog_, kind_.addId, win::LoadResString(kind_.addText).c_str());
    AddColumns(Item(kind_.listId), kind_.columns, Px(kJobColumnWidth));
    AddColumns(Item(kind_.actionsId), kind_.actionColumns, Px(kind_.actionWidth));
    const std::string remove = win::LoadResString(kind_.removeText);
    ForEachRowControl([&](HWND item, const RowControl& control, int) {
        if (control.role == RowRole::Priority)
            for (UINT id : {IDS_PRIORITY_HIGH, IDS_PRIORITY_NORMAL, IDS_PRIORITY_LOW})
                ::SendMessageA(item, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(win::LoadResString(id).c_str()));
        if (control.role == RowRole::Remove) ::SetWindowTextA(item, remove.c_str());
    });
    // The list holds exactly its ten rows; only their texts change.
    for (int r = 0; r < kRows; ++r) {
        LVITEMA item = {};
        item.iItem = r;
        ::SendMessageA(Item(kind_.listId), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    }
}

void CJobPanel::SetDpi(UINT dpi) {
    dpi_ = dpi;
    list_.SetDpi(dpi);
}

void CJobPanel::SetHeadingFont(HFONT font) {
    ::SendMessageA(Item(kind_.headingId), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void CJobPanel::SetColumnWidths() {
    HWND list = Item(kind_.listId);
    HWND header = ListView_GetHeader(list);
    app::SetColumnWidths(list, header ? Header_GetItemCount(header) : 0, Px(kJobColumnWidth));
    app::SetColumnWidths(Item(kind_.actionsId), static_cast<int>(kind_.actionColumns.size()), Px(kind_.actionWidth));
}

void CJobPanel::Layout(int w) {
    const int top = Px(kind_.top), header = Px(kHeaderHeight), row = Px(kRowHeight), panel = w - Px(kPanel);
    MoveTo(Item(kind_.headingId), Px(kMargin), Px(kind_.top - kHeadingAbove));
    MoveTo(Item(kind_.addId), Px(kAddLeft), Px(kind_.top - kHeadingAbove));
    Place(Item(kind_.listId), Px(kMargin), top, std::max(panel - Px(kMargin), 0), Px(kListHeight));
    Place(Item(kind_.actionsId), panel, top, Px(kPanelWidth), header);
    Place(Item(kind_.scrollId), w - Px(kScrollFromRight), top + header, Px(kScrollWidth), kRows * row);
    // The filler keeps the height that the number of jobs gave it.
    MoveTo(Item(kind_.fillerId), panel, ClientRectOf(dialog_, Item(kind_.fillerId)).top);
    ForEachRowControl([&](HWND item, const RowControl& control, int r) {
        const int height = control.role == RowRole::Priority ? kDropDownRows * row : row;
        Place(item, w - Px(control.fromRight), top + header + r * row, Px(control.width), height);
    });
}

void CJobPanel::ResetFiller(int w) {
    Place(Item(kind_.fillerId), w - Px(kPanel), Px(kind_.top + kHeaderHeight), Px(kPanelWidth), kRows * Px(kRowHeight));
}

void CJobPanel::KeepActionColumns(HWND header) {
    HWND actions = Item(kind_.actionsId);
    ::EnableWindow(actions, FALSE);
    if (header && ::GetParent(header) == actions)
        app::SetColumnWidths(actions, static_cast<int>(kind_.actionColumns.size()), Px(kind_.actionWidth));
}

void CJobPanel::InvalidateList() { ::InvalidateRect(Item(kind_.listId), nullptr, TRUE); }

void CJobPanel::TakeJobs(const CurrentStatus& status) { jobs_ = kind_.rowsOf(status); }

int CJobPanel::Position() const { return std::max(::GetScrollPos(Item(kind_.scrollId), SB_CTL), 0); }

const JobRow* CJobPanel::JobAt(int row) const { return JobAtRow(jobs_, Position(), row); }

bool CJobPanel::Shows(const std::string& key) const {
    return std::any_of(jobs_.begin(), jobs_.end(), [&](const JobRow& job) { return job.key == key; });
}

int CJobPanel::SelectedPriorityEntry(int row) const {
    for (const RowControl& control : kind_.rowControls)
        if (control.role == RowRole::Priority && row >= 0 && row < kRows)
            return static_cast<int>(::SendMessageA(Item(control.firstId + row), CB_GETCURSEL, 0, 0));
    return -1;
}

void CJobPanel::Enable(bool connected) {
    const BOOL on = connected ? TRUE : FALSE;
    for (int id : {kind_.addId, kind_.actionsId, kind_.scrollId}) ::EnableWindow(Item(id), on);
    ForEachRowControl([connected](HWND item, const RowControl&, int) { EnableIfChanged(item, connected); });
}

void CJobPanel::ShowRows() {
    const int shown = ShownRows(jobs_.size());
    HWND firstHidden = nullptr;
    ForEachRowControl([&](HWND item, const RowControl& control, int r) {
        ShowIfChanged(item, r < shown);
        if (control.role == RowRole::PauseResume && r == shown) firstHidden = item;
    });
    // The filler covers the panel from the first row without a job down.
    RECT filler = ClientRectOf(dialog_, Item(kind_.fillerId));
    int top = filler.bottom;
    if (firstHidden) top = ClientRectOf(dialog_, firstHidden).top;
    Place(Item(kind_.fillerId), filler.left, top, filler.right - filler.left, filler.bottom - top);
}

void CJobPanel::SetActionText(int row, bool paused) {
    for (const RowControl& control : kind_.rowControls)
        if (control.role == RowRole::PauseResume)
            SetTextIfChanged(Item(control.firstId + row), win::LoadResString(paused ? kind_.resumeText : kind_.pauseText));
}

void CJobPanel::ApplyStatus(bool connected, bool serviceOn) {
    HWND bar = Item(kind_.scrollId);
    if (connected) {
        const int position = ::GetScrollPos(bar, SB_CTL);
        ::SetScrollRange(bar, SB_CTL, 0, ScrollMaximum(jobs_.size()), FALSE);
        ::SetScrollPos(bar, SB_CTL, ClampedPosition(position, jobs_.size()), TRUE);
        // Pause and resume only while the server runs that service.
        ForEachRowControl([serviceOn](HWND item, const RowControl& control, int) {
            if (control.role == RowRole::PauseResume) EnableIfChanged(item, serviceOn);
        });
        FillRows();
        return;
    }
    ::SetScrollRange(bar, SB_CTL, 0, 0, FALSE);
    ::SetScrollPos(bar, SB_CTL, 0, TRUE);
    list_.ResetRowColors();
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < static_cast<int>(kind_.columns.size()); ++c) list_.SetCellText(r, c, "");
        for (const RowControl& control : kind_.rowControls)
            if (control.role == RowRole::Priority) SelectIfChanged(Item(control.firstId + r), PriorityEntry(0));
        SetActionText(r, true);
    }
    InvalidateList();
}

void CJobPanel::FillRows() {
    const int position = Position();
    list_.ResetRowColors();
    for (int r = 0; r < kRows; ++r) {
        const JobRow* job = JobAtRow(jobs_, position, r);
        for (int c = 0; c < static_cast<int>(kind_.columns.size()); ++c)
            list_.SetCellText(r, c, job && c < static_cast<int>(job->cells.size()) ? job->cells[c] : std::string());
        if (!job) {
            list_.SetRowColors(r, kWhite, kWhite);
            continue;
        }
        for (const RowControl& control : kind_.rowControls)
            if (control.role == RowRole::Priority) SelectIfChanged(Item(control.firstId + r), PriorityEntry(job->priority));
        SetActionText(r, job->paused);
        list_.SetRowColors(r, job->text, job->back);
    }
    InvalidateList();
    ::SetFocus(Item(focusId_));
}

void CJobPanel::OnListScrolled(int) { FillRows(); }

}  // namespace app
