// The owner-drawn job list: exactly ten rows, coloured by job status, with
// tool tips that show a long cell whole; and the rules that give each job its
// row colours and paused flag when the window takes over a new status.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "client/StatusTypes.h"
#include "common/Control.h"

namespace app {

constexpr COLORREF kWhite = 0xFFFFFF;

// Colours (0x00BBGGRR) and paused flag from a job's status text.
struct RowStyle {
    COLORREF text;
    COLORREF back;
    int paused;
};
RowStyle BtRowStyle(const std::string& status);
RowStyle WebFtpRowStyle(const std::string& status);

// What the window shows: the last status taken over, with each job's style.
struct CurrentStatus {
    int connected = 0;
    std::string stateText;
    std::vector<client::BTItem> btItems;
    std::vector<client::WebFTPItem> webFtpItems;
    int btOn = 0;
    int webFtpOn = 0;
};
// Copies both job arrays in order, styling each job, and the two service flags.
void TakeOverJobs(const client::ServerStatus& status, CurrentStatus& current);

// A cell shows its text up to the first line feed; its tip shows the whole
// text, or for a text longer than the limit its first 512 characters, "..."
// and every line feed as CR LF.
struct CellTexts {
    std::string shown;
    std::string tip;
};
CellTexts MakeCellTexts(const std::string& text);
constexpr size_t kTipLimit = 512;

// The list's header, kept at the height the row geometry counts on.
class CFixedHeader : public win::CControl {
public:
    explicit CFixedHeader(std::function<int()> height);
};

class CMyListCtrl : public win::CControl {
public:
    static constexpr int kRows = 10;
    // At 100 %; other display scales scale them (RowHeight, HeaderHeight).
    static constexpr int kRowHeight = 20;
    static constexpr int kHeaderHeight = 21;
    // Tool identifier of the tip of `row` in `column` (0, 1 or 5).
    static constexpr UINT_PTR ToolId(int row, int column) { return 100 * row + 10 + column; }

    CMyListCtrl();
    ~CMyListCtrl() override;

    // The display scale the rows are measured for; the list measures its
    // rows again when it is next resized.
    void SetDpi(UINT dpi) { dpi_ = dpi; }
    int RowHeight() const;
    int HeaderHeight() const;

    void SetRowColors(int row, COLORREF text, COLORREF back);
    void ResetRowColors();
    // Outer cell rectangle, or shrunk by one pixel on every side.
    RECT GetCellRect(int row, int column, bool inner) const;
    // Tips for columns 0, 1 and 5.
    void EnableTips(bool column0, bool column1, bool column5);
    BOOL SetCellText(int row, int column, const std::string& text);
    HWND Tips() const { return tip_; }

private:
    void OnAttached() override;
    static bool InRange(int row) { return row >= 0 && row < kRows; }
    int TipSlot(int column) const;  // 0, 1, 2 for columns 0, 1, 5; -1 otherwise
    void DrawRow(const DRAWITEMSTRUCT& draw);
    void MoveTipRects();
    void Relay(UINT message, WPARAM wp, LPARAM lp);

    COLORREF text_[kRows];
    COLORREF back_[kRows];
    UINT dpi_ = 96;
    CFixedHeader header_{[this] { return HeaderHeight(); }};
    HWND tip_ = nullptr;
    bool tips_[3] = {false, false, false};
};

}  // namespace app
