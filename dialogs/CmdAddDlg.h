// The small window of a process that hands a torrent file or a link over to
// the main window: it says what is being added, and its button is the only way
// to give up the hand-over.
#pragma once
#include <windows.h>

#include "common/Dialog.h"

namespace dialogs {

class CCmdAddDlg : public win::CDialog {
public:
    // `torrentMode`: a torrent file rather than a link. `cancel` is set when
    // the user gives up (the button, or the window destroyed).
    CCmdAddDlg(bool torrentMode, HANDLE cancel);

private:
    BOOL OnInitDialog() override;
    void GiveUp();

    bool torrentMode_;
    HANDLE cancel_;
};

// Shows the window on a thread of its own, so that it answers while the
// hand-over sleeps between tries. Once the user has given up, the process ends
// when the hand-over sees `cancel`, or at the latest a few seconds later.
void StartCmdAddWindow(bool torrentMode, HANDLE cancel);

}  // namespace dialogs
