// Server selection: a discovery broadcast on the LAN, the list of storage
// servers that answer, and the remembered choice.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/Dialog.h"
#include "common/Handle.h"
#include "protocol/Packets.h"
#include "protocol/Protocol.h"

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
    // The server that the first GetServer of this run will return without a
    // dialog, with its display text; false for none (or after that call).
    static bool RememberedServer(std::string& address, std::string& display);

    const std::string& DisplayText() const { return display_; }
    const std::string& SelectedAddress() const { return address_; }

    // The receive thread's partner: the protocol's discovery listener reports
    // every reply here, on its own thread, and the window takes them from here.
    struct Receiver : mgmt::IProtocolOwner {
        HWND dialog = nullptr;
        // Replies on their way to the window thread. The message that announces
        // them carries no pointer, so a message from elsewhere finds nothing.
        std::mutex mutex;
        std::vector<mgmt::stserver> arrived;

        void ServerAnswered(const mgmt::stserver& server) override;
        // Discovery sends no commands: no adapter or server MAC is needed.
        void RefreshAdapters() override {}
        mgmt::Mac PcMac() const override { return {}; }
        mgmt::Mac SelectedServerMac() const override { return {}; }
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

    std::unique_ptr<Receiver> receiver_;
    win::Handle thread_;
    std::vector<mgmt::stserver> servers_;  // same indices as the list box; window thread only
    std::string address_;
    std::string display_;
};

}  // namespace dialogs
