// The job list control in a window of its own: tips with their identifiers,
// texts and rectangles, and the cells the list holds.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "app/ListCtrl.h"

namespace {

class ListWindow : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&controls);
        frame = ::CreateWindowExA(0, "STATIC", "frame", WS_POPUP, 0, 0, 800, 300, nullptr, nullptr, nullptr, nullptr);
        HWND window = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED, 0,
                                        0, 700, 241, frame, reinterpret_cast<HMENU>(1042), nullptr, nullptr);
        ASSERT_TRUE(list.Attach(window));
        for (int c = 0; c < 6; ++c) {
            LVCOLUMNA column = {};
            column.mask = LVCF_WIDTH;
            column.cx = 100;
            ::SendMessageA(window, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
        }
        for (int r = 0; r < 10; ++r) {
            LVITEMA item = {};
            item.iItem = r;
            ::SendMessageA(window, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
        list.EnableTips(true, false, true);
    }
    void TearDown() override { ::DestroyWindow(frame); }

    std::string Tip(UINT_PTR id, RECT* rect = nullptr) {
        wchar_t text[2048] = {};
        TTTOOLINFOW tool = {};
        tool.cbSize = sizeof tool;
        tool.hwnd = list.Hwnd();
        tool.uId = id;
        tool.lpszText = text;
        ::SendMessageW(list.Tips(), TTM_GETTEXTW, 2048, reinterpret_cast<LPARAM>(&tool));
        if (rect && ::SendMessageW(list.Tips(), TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool)))
            *rect = tool.rect;
        char narrow[4096] = {};
        ::WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
        return narrow;
    }
    std::string Cell(int row, int column) {
        char text[2048] = {};
        ListView_GetItemText(list.Hwnd(), row, column, text, sizeof text);
        return text;
    }

    HWND frame = nullptr;
    app::CMyListCtrl list;
};

TEST_F(ListWindow, TipsForTheSwitchedOnColumnsOnly) {
    EXPECT_EQ(::SendMessageA(list.Tips(), TTM_GETTOOLCOUNT, 0, 0), 20);
    EXPECT_EQ(reinterpret_cast<HWND>(::SendMessageA(list.Hwnd(), LVM_GETTOOLTIPS, 0, 0)), list.Tips());
    std::string name = std::string(600, 'n') + "\nsecond line";
    ASSERT_TRUE(list.SetCellText(3, 0, name));
    list.SetCellText(9, 5, "http://host/a\nb");
    list.SetCellText(2, 1, "no tip in this column");
    EXPECT_EQ(Cell(3, 0), std::string(600, 'n'));
    EXPECT_EQ(Cell(9, 5), "http://host/a");
    EXPECT_EQ(Cell(2, 1), "no tip in this column");
    RECT rect = {};
    EXPECT_EQ(Tip(310, &rect), std::string(512, 'n') + "...");
    RECT cell = list.GetCellRect(3, 0, true);
    EXPECT_TRUE(::EqualRect(&rect, &cell));
    EXPECT_EQ(cell.bottom - cell.top, 18);
    EXPECT_EQ(Tip(915), "http://host/a\nb");
    EXPECT_EQ(Tip(211), "");  // column 1 has no tips here
}

}  // namespace
