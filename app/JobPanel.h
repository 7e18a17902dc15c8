// One job list of the main window with everything that belongs to it: its
// heading and Add button, the list, the header-only list and the panel of row
// controls beside it (priority, pause or resume, remove), the filler below the
// last row, the scroll bar, and the job behind each row. The window makes it
// twice, for BT and for Web/FTP jobs; what differs between the two is the
// JobKind given to it. The rules for which job a row shows need no window.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "app/ListCtrl.h"
#include "app/ScrollBar.h"
#include "common/Dialog.h"
#include "client/Operation.h"

namespace app {

// One job as its row shows it.
struct JobRow {
    std::string key;                 // names the job in requests: BT item ID or Web/FTP key
    std::vector<std::string> cells;  // in column order
    COLORREF text = kWhite;
    COLORREF back = kWhite;
    bool paused = false;
    int priority = 0;  // BT only: 1 high, 0 normal, -1 low
};
JobRow BtJobRow(const client::BTItem& job);
JobRow WebFtpJobRow(const client::WebFTPItem& job);

// The scroll range of a list of `jobs` rows is 0 to ScrollMaximum(jobs); a
// position from an earlier, longer list is brought into it.
int ScrollMaximum(size_t jobs);
int ClampedPosition(int position, size_t jobs);
// How many of the ten rows have a job (and show their row controls).
int ShownRows(size_t jobs);
// The job in `row` (0-9) from scroll position `position`, or nullptr.
const JobRow* JobAtRow(const std::vector<JobRow>& jobs, int position, int row);
// The position of a priority box's entry ("High", "Normal", "Low") for a
// priority, and the priority an entry stands for.
inline int PriorityEntry(int priority) { return 1 - priority; }
inline int PriorityOfEntry(int entry) { return 1 - entry; }

// What a row control does.
enum class RowRole { Priority, PauseResume, Remove };

struct RowControl {
    RowRole role;
    int firstId;    // the control of row 0; row r has firstId + r
    int fromRight;  // left edge at the client width minus this (100 % pixels)
    int width;
};

// Everything in which the two panels differ.
struct JobKind {
    int headingId, addId, listId, actionsId, fillerId, scrollId;
    UINT headingText, addText;
    int top;  // of the list, in 100 % pixels
    std::vector<UINT> columns;
    bool tips[3];  // tool tips for columns 0, 1 and 5
    std::vector<UINT> actionColumns;
    int actionWidth;
    std::vector<RowControl> rowControls;
    UINT pauseText, resumeText, removeText;
    // The jobs of a status, in order.
    std::vector<JobRow> (*rowsOf)(const CurrentStatus& status);
    int CurrentStatus::*serviceOn;
    // The device operations of the rows, each with the job's key.
    client::OperationKind pause, resume, remove;
    std::optional<client::OperationKind> setPriority;  // BT only
};
extern const JobKind kBtJobs;
extern const JobKind kWebFtpJobs;

class CJobPanel : private IScrollListener {
public:
    static constexpr int kRows = CMyListCtrl::kRows;

    // `focusId`: the dialog item that takes the keyboard focus after the rows
    // are filled, so that no row control keeps it while it may be hidden.
    CJobPanel(const JobKind& kind, int focusId);
    const JobKind& Kind() const { return kind_; }

    // Once, at dialog initialisation: controls, texts, columns.
    void Attach(HWND dialog, UINT dpi);
    void SetDpi(UINT dpi);
    void SetHeadingFont(HFONT font);
    // Places everything for the client width; the filler keeps its height.
    void Layout(int width);
    // The filler over the whole panel again, for a layout from scratch.
    void ResetFiller(int width);
    void SetColumnWidths();
    // A header of the window reported a drag: the action columns keep their widths.
    void KeepActionColumns(HWND header);
    void InvalidateList();

    // The jobs of the status the window shows now.
    void TakeJobs(const CurrentStatus& status);
    const JobRow* JobAt(int row) const;
    // True while the window shows the job `key`.
    bool Shows(const std::string& key) const;
    // The entry the user chose in a row's priority box, or -1.
    int SelectedPriorityEntry(int row) const;

    // The steps of a redraw, in this order.
    void Enable(bool connected);
    void ShowRows();
    void ApplyStatus(bool connected, bool serviceOn);
    void FillRows();

private:
    void OnListScrolled(int controlId) override;
    HWND Item(int id) const { return items_.Find(dialog_, id); }
    int Px(int pixels) const;
    int Position() const;
    void SetActionText(int row, bool paused);
    template <typename Visit>
    void ForEachRowControl(Visit&& visit) const;

    const JobKind& kind_;
    int focusId_;
    HWND dialog_ = nullptr;
    win::CItemCache items_;
    UINT dpi_ = 96;
    CMyListCtrl list_;
    CMyScrollBar scroll_;
    std::vector<JobRow> jobs_;
};

}  // namespace app
