// The server folder dialog: the server's disks as tree roots, folders loaded
// when a node is first expanded, the chosen folder as a server path.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "client/DeviceClient.h"
#include "common/Dialog.h"

namespace dialogs {

class CSelPathDlg : public win::CDialog {
public:
    explicit CSelPathDlg(client::CDeviceClient& client);
    ~CSelPathDlg() override;

    INT_PTR Show(HWND parent);
    // After OK: the chosen folder, e.g. "[HDD1]Movies\New\".
    const std::string& SelectedPath() const { return path_; }

private:
    BOOL OnInitDialog() override;
    void OnOk();
    void OnExpanding(HTREEITEM item, UINT action);
    void OnSelChanged(HTREEITEM item);
    std::string PathOf(HTREEITEM item) const;
    HTREEITEM Insert(HTREEITEM parent, const std::string& text, int image);
    // Runs a device operation with this dialog disabled, so that nothing in it
    // starts a second one meanwhile.
    template <typename Call>
    int Guarded(Call&& call);

    client::CDeviceClient& client_;
    HIMAGELIST images_ = nullptr;
    std::string path_;
};

}  // namespace dialogs
