#include "ListCtrl.h"

#include <commctrl.h>

#include "common/Dpi.h"

namespace app {

namespace {
constexpr int kTipColumns[3] = {0, 1, 5};
constexpr int kTipWidth = 300;
constexpr int kTextBuffer = 1024;  // a longer text is clipped at the cell edge anyway

int ColumnCount(HWND list) {
    HWND header = ListView_GetHeader(list);
    return header ? Header_GetItemCount(header) : 0;
}
// The tool of one cell's tip, as the tip control knows it.
TOOLINFOA CellTool(HWND list, int row, int column) {
    TOOLINFOA tool = {};
    tool.cbSize = sizeof tool;
    tool.hwnd = list;
    tool.uId = CMyListCtrl::ToolId(row, column);
    return tool;
}

}  // namespace

RowStyle BtRowStyle(const std::string& status) {
    if (status == "paused") return {0x000000, 0xC0C0C0, 1};
    if (status == "connect error" || status == "torrent error") return {0x000000, 0xC0C0C0, 0};
    if (status == "downloading" || status == "trying") return {0xC00000, kWhite, 0};
    if (status == "waiting") return {0x0000C0, kWhite, 0};
    return {0x00C000, kWhite, 0};
}

RowStyle WebFtpRowStyle(const std::string& status) {
    if (status == "Paused") return {0x000000, 0xC0C0C0, 1};
    if (status == "Failed") return {0x000000, 0xC0C0C0, 0};
    if (status == "Finished") return {0x00C000, kWhite, 0};
    return {0xC00000, kWhite, 0};
}

template <typename Item>
static void Style(Item& item, const RowStyle& style) {
    item.textColor = static_cast<int>(style.text);
    item.backColor = static_cast<int>(style.back);
    item.paused = style.paused;
}

void TakeOverJobs(const client::ServerStatus& status, CurrentStatus& current) {
    current.btItems = status.btItems;
    for (auto& item : current.btItems) Style(item, BtRowStyle(item.status));
    current.webFtpItems = status.webFtpItems;
    for (auto& item : current.webFtpItems) Style(item, WebFtpRowStyle(item.status));
    current.btOn = status.btEnabled;
    current.webFtpOn = status.webFtpEnabled;
}

CellTexts MakeCellTexts(const std::string& text) {
    CellTexts texts;
    texts.shown = text.substr(0, text.find('\n'));
    if (text.size() <= kTipLimit) {
        texts.tip = text;
        return texts;
    }
    // Cut at a character boundary: half of a double-byte character would show
    // as a stray sign.
    size_t cut = 0;
    while (cut < kTipLimit) {
        size_t next = cut + (::IsDBCSLeadByte(static_cast<BYTE>(text[cut])) ? 2 : 1);
        if (next > kTipLimit) break;
        cut = next;
    }
    for (char c : text.substr(0, cut)) {
        if (c == '\n') texts.tip += '\r';
        texts.tip += c;
    }
    texts.tip += "...";
    return texts;
}

CFixedHeader::CFixedHeader(std::function<int()> heightOf) {
    OnMessage(HDM_LAYOUT, [this, heightOf = std::move(heightOf)](WPARAM wp, LPARAM lp) {
        LRESULT result = Default(HDM_LAYOUT, wp, lp);
        auto* layout = reinterpret_cast<HDLAYOUT*>(lp);
        if (result && layout && layout->pwpos && layout->prc) {
            const int height = heightOf();
            layout->pwpos->cy = height;
            layout->prc->top = layout->pwpos->y + height;
        }
        return result;
    });
}

void CMyListCtrl::OnAttached() {
    // Rows sit 20 pixels apart below a 21-pixel header whatever the font (at
    // 100 %, in proportion at other scales): the row panels beside the list
    // are laid out for that.
    if (HWND header = ListView_GetHeader(Hwnd())) {
        header_.Attach(header);
        ::SetWindowPos(Hwnd(), nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
}

CMyListCtrl::CMyListCtrl() {
    ResetRowColors();
    OnReflected(WM_DRAWITEM, [this](WPARAM, LPARAM lp) {
        DrawRow(*reinterpret_cast<DRAWITEMSTRUCT*>(lp));
        return LRESULT(TRUE);
    });
    OnReflected(WM_MEASUREITEM, [this](WPARAM, LPARAM lp) {
        reinterpret_cast<MEASUREITEMSTRUCT*>(lp)->itemHeight = static_cast<UINT>(RowHeight());
        return LRESULT(TRUE);
    });
    for (UINT message :
         {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP})
        OnMessage(message, [this, message](WPARAM wp, LPARAM lp) {
            Relay(message, wp, lp);
            return Default(message, wp, lp);
        });
    // The tips follow the cells: after the list has scrolled sideways, the
    // rectangles are measured again.
    OnMessage(WM_HSCROLL, [this](WPARAM wp, LPARAM lp) {
        LRESULT result = Default(WM_HSCROLL, wp, lp);
        MoveTipRects();
        return result;
    });
}

CMyListCtrl::~CMyListCtrl() {
    if (tip_ && ::IsWindow(tip_)) ::DestroyWindow(tip_);
}

int CMyListCtrl::RowHeight() const { return win::ScaleToDpi(kRowHeight, dpi_); }
int CMyListCtrl::HeaderHeight() const { return win::ScaleToDpi(kHeaderHeight, dpi_); }

void CMyListCtrl::SetRowColors(int row, COLORREF text, COLORREF back) {
    if (!InRange(row)) return;
    text_[row] = text;
    back_[row] = back;
}

void CMyListCtrl::ResetRowColors() {
    for (int row = 0; row < kRows; ++row) text_[row] = back_[row] = kWhite;
}

RECT CMyListCtrl::GetCellRect(int row, int column, bool inner) const {
    RECT cell = {0, 0, 0, 0};
    if (!Hwnd() || !InRange(row) || column < 0) return cell;
    RECT bounds = {};
    ListView_GetItemRect(Hwnd(), row, &bounds, LVIR_BOUNDS);
    cell.left = bounds.left;
    for (int c = 0; c < column; ++c) cell.left += ListView_GetColumnWidth(Hwnd(), c);
    cell.right = cell.left + ListView_GetColumnWidth(Hwnd(), column);
    cell.top = bounds.top;
    cell.bottom = bounds.top + RowHeight();
    if (inner) ::InflateRect(&cell, -1, -1);
    return cell;
}

int CMyListCtrl::TipSlot(int column) const {
    for (int slot = 0; slot < 3; ++slot)
        if (kTipColumns[slot] == column) return slot;
    return -1;
}

void CMyListCtrl::EnableTips(bool column0, bool column1, bool column5) {
    tips_[0] = column0;
    tips_[1] = column1;
    tips_[2] = column5;
    if (!tip_) {
        tip_ = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Hwnd(), nullptr,
                                 ::GetModuleHandleA(nullptr), nullptr);
        if (!tip_) return;
        // Wine's list view reads the handle from the other parameter: give both.
        ::SendMessageA(Hwnd(), LVM_SETTOOLTIPS, reinterpret_cast<WPARAM>(tip_), reinterpret_cast<LPARAM>(tip_));
        ::SendMessageA(tip_, TTM_SETMAXTIPWIDTH, 0, kTipWidth);
    }
    char empty[1] = "";
    for (int slot = 0; slot < 3; ++slot) {
        if (!tips_[slot]) continue;
        for (int row = 0; row < kRows; ++row) {
            TOOLINFOA tool = CellTool(Hwnd(), row, kTipColumns[slot]);
            tool.lpszText = empty;
            ::SendMessageA(tip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
    ::SendMessageA(tip_, TTM_ACTIVATE, TRUE, 0);
}

BOOL CMyListCtrl::SetCellText(int row, int column, const std::string& text) {
    CellTexts texts = MakeCellTexts(text);
    int slot = TipSlot(column);
    if (tip_ && slot >= 0 && tips_[slot] && InRange(row)) {
        TOOLINFOA tool = CellTool(Hwnd(), row, column);
        tool.rect = GetCellRect(row, column, true);
        ::SendMessageA(tip_, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
        tool.lpszText = texts.tip.data();
        ::SendMessageA(tip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    }
    // An unchanged cell is left alone: setting it redraws it, which under
    // Wine costs a request to the window server, for every cell at every refresh.
    char shown[kTextBuffer];
    if (texts.shown.size() + 1 < sizeof shown) {
        shown[0] = '\0';
        ListView_GetItemText(Hwnd(), row, column, shown, kTextBuffer);
        if (texts.shown == shown) return TRUE;
    }
    LVITEMA item = {};
    item.iSubItem = column;
    item.pszText = texts.shown.data();
    return static_cast<BOOL>(::SendMessageA(Hwnd(), LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
}

void CMyListCtrl::MoveTipRects() {
    if (!tip_) return;
    for (int slot = 0; slot < 3; ++slot) {
        if (!tips_[slot]) continue;
        for (int row = 0; row < kRows; ++row) {
            TOOLINFOA tool = CellTool(Hwnd(), row, kTipColumns[slot]);
            tool.rect = GetCellRect(row, kTipColumns[slot], true);
            ::SendMessageA(tip_, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
        }
    }
}

void CMyListCtrl::Relay(UINT message, WPARAM wp, LPARAM lp) {
    if (!tip_) return;
    MSG msg = {};
    msg.hwnd = Hwnd();
    msg.message = message;
    msg.wParam = wp;
    msg.lParam = lp;
    msg.time = static_cast<DWORD>(::GetMessageTime());
    DWORD pos = ::GetMessagePos();
    msg.pt = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    ::SendMessageA(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}

void CMyListCtrl::DrawRow(const DRAWITEMSTRUCT& draw) {
    int row = static_cast<int>(draw.itemID);
    if (!InRange(row)) return;
    HDC dc = draw.hDC;
    int saved = ::SaveDC(dc);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, text_[row]);
    HBRUSH brush = ::CreateSolidBrush(back_[row]);
    char text[kTextBuffer];
    int columns = ColumnCount(Hwnd());
    // The cells side by side from the row's left edge, each column's width
    // asked once; the row is the one the list asked for, whatever its
    // header's height.
    RECT bounds = {};
    ListView_GetItemRect(Hwnd(), row, &bounds, LVIR_BOUNDS);
    RECT outer = {bounds.left, draw.rcItem.top, bounds.left, draw.rcItem.bottom};
    for (int column = 0; column < columns; ++column) {
        outer.left = outer.right;
        outer.right = outer.left + ListView_GetColumnWidth(Hwnd(), column);
        ::FillRect(dc, &outer, brush);
        RECT inner = outer;
        ::InflateRect(&inner, -1, -1);
        text[0] = '\0';
        ListView_GetItemText(Hwnd(), row, column, text, kTextBuffer);
        ::DrawTextA(dc, text, -1, &inner, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    }
    ::DeleteObject(brush);
    ::RestoreDC(dc, saved);
}

}  // namespace app
