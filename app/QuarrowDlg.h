// The main window: connects to the remembered server and shows both job lists.
#pragma once
#include <memory>
#include <string>

#include "client/DeviceClient.h"
#include "common/Dialog.h"

namespace app {

class CQuarrowDlg : public win::CDialog {
public:
    CQuarrowDlg();

private:
    BOOL OnInitDialog() override;
    void ConnectAndRefresh();
    void Refresh();
    void ShowStatus(const client::ServerStatus& status);
    void Layout();
    void ShowResult(int result);

    client::CDeviceClient client_;
    std::string server_;
};

}  // namespace app
