#include "ScrollBar.h"

#include <algorithm>

namespace app {

CMyScrollBar::CMyScrollBar(IScrollListener& owner, int controlId) : owner_(owner), controlId_(controlId) {
    OnReflected(WM_VSCROLL, [this](WPARAM wp, LPARAM) {
        SCROLLINFO info = {};
        info.cbSize = sizeof info;
        info.fMask = SIF_ALL;
        ::GetScrollInfo(Hwnd(), SB_CTL, &info);
        int request = LOWORD(wp);
        int thumb = request == SB_THUMBTRACK ? info.nTrackPos : static_cast<short>(HIWORD(wp));
        int position = NewPosition(request, info.nPos, info.nMin, info.nMax, thumb);
        if (position < 0) return LRESULT(0);
        ::SetScrollPos(Hwnd(), SB_CTL, position, TRUE);
        owner_.OnListScrolled(controlId_);
        return LRESULT(0);
    });
}

int CMyScrollBar::NewPosition(int request, int position, int minimum, int maximum, int thumb) {
    switch (request) {
    case SB_LINEUP:
        return std::max(position - 1, minimum);
    case SB_LINEDOWN:
        return std::min(position + 1, maximum);
    case SB_PAGEUP:
        return std::max(position - kPage, minimum);
    case SB_PAGEDOWN:
        return std::min(position + kPage, maximum);
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
        return std::clamp(thumb, minimum, std::max(minimum, maximum));
    default:
        return -1;
    }
}

}  // namespace app
