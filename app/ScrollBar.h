// The scroll bar beside each job list: pages through the jobs ten rows at a
// time and tells its listener (the list's panel) to redisplay the rows.
#pragma once
#include <windows.h>

#include "common/Control.h"

namespace app {

class IScrollListener {
public:
    virtual ~IScrollListener() = default;
    // The bar `controlId` has a new position.
    virtual void OnListScrolled(int controlId) = 0;
};

class CMyScrollBar : public win::CControl {
public:
    static constexpr int kPage = 10;  // the height of a list

    CMyScrollBar(IScrollListener& owner, int controlId);

    // New position for a scroll request, or -1 when the request changes nothing.
    static int NewPosition(int request, int position, int minimum, int maximum, int thumb);

private:
    IScrollListener& owner_;
    int controlId_;
};

}  // namespace app
