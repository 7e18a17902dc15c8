// The server folder dialog: the server's disks as tree roots, folders loaded
// when a node is first expanded, the chosen folder as a server path.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "client/DeviceClient.h"
#include "common/Dialog.h"
#include "common/Handle.h"

namespace dialogs {

class CSelPathDlg : public win::CDialog {
public:
    explicit CSelPathDlg(client::CDeviceClient& client);

    INT_PTR Show(HWND parent);
    // After OK: the chosen folder, e.g. "[HDD1]Movies\New\".
    const std::string& SelectedPath() const { return path_; }

private:
    BOOL OnInitDialog() override;
    void OnOk();
    void OnExpanding(HTREEITEM item, UINT action);
    void OnSelChanged(HTREEITEM item);
    // The parent, first child... of an item (TVGN_PARENT, TVGN_CHILD), or nullptr.
    HTREEITEM Related(HTREEITEM item, UINT relation) const;
    std::string PathOf(HTREEITEM item) const;
    HTREEITEM Insert(HTREEITEM parent, const std::string& text, int image);

    client::CDeviceClient& client_;
    win::ImageList images_;
    std::string path_;
};

}  // namespace dialogs
