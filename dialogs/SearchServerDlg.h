// Server selection: a discovery broadcast on the LAN, the list of storage
// servers that answer, and the remembered choice.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Dialog.h"
#include "common/Handle.h"
#include "protocol/Packets.h"

namespace dialogs {

class CSearchServerDlg : public win::CDialog {
public:
    CSearchServerDlg();
    ~CSearchServerDlg() override;

    // The remembered server on the first call of a run (no dialog, no probe),
    // else as AskServer. Returns the address, empty for none.
    std::string GetServer(HWND parent);
    // Always asks: the address chosen with OK, or empty.
    std::string AskServer(HWND parent);

    const std::string& DisplayText() const { return display_; }
    const std::string& SelectedAddress() const { return address_; }

    // What the receive thread shares with the window thread; it outlives the
    // dialog should the thread ever fail to end in time.
    struct Receiver {
        std::atomic<bool> running{false};  // set by the thread
        std::atomic<bool> stop{false};     // set by the dialog
        std::atomic<bool> portBusy{false};  // another program holds the discovery port
        win::Handle ready{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};  // bound, or given up
        std::atomic<SOCKET> socket{INVALID_SOCKET};
        HWND dialog = nullptr;
        // Replies on their way to the window thread. The message that announces
        // them carries no pointer, so a message from elsewhere finds nothing.
        std::mutex mutex;
        std::vector<mgmt::stserver> arrived;
    };

private:
    BOOL OnInitDialog() override;
    void StartReceiver();
    void OnRescan();
    void ReportPortBusy();
    void SendProbe();
    void OnOk();
    void OnDestroy();
    void TakeArrivedServers();
    void AddServer(const mgmt::stserver& server);
    void WaitForReceiver();

    std::shared_ptr<Receiver> receiver_;
    win::Handle thread_;
    std::vector<mgmt::stserver> servers_;  // same indices as the list box; window thread only
    std::string address_;
    std::string display_;
};

}  // namespace dialogs
