// The device client: the HTTP session with the storage server, the open
// connection, and one entry point per operation. Each entry point runs on the
// window thread and returns a result code (0 or the ID of the message to show).
#pragma once
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>
#include <vector>

#include "client/Operation.h"
#include "common/Handle.h"

namespace client {

class CDeviceClient {
public:
    // `host` carries out the operations; the program passes its wait-dialog host.
    explicit CDeviceClient(std::shared_ptr<IOperationHost> host);
    ~CDeviceClient();
    CDeviceClient(const CDeviceClient&) = delete;
    CDeviceClient& operator=(const CDeviceClient&) = delete;

    bool IsConnected() const { return connection_.Valid(); }
    // Closes the connection; every operation but Connect then answers 5501.
    void Disconnect();
    CRITICAL_SECTION& Lock() { return lock_; }

    int SetBtEnable(int on);
    int SetBtPriority(const std::string& itemId, int priority);
    int PauseBtItem(const std::string& itemId);
    int ResumeBtItem(const std::string& itemId);
    int RemoveBtItem(const std::string& itemId);
    int SetWebFtpEnable(int on);
    int PauseWebFtpItem(const std::string& key);
    int ResumeWebFtpItem(const std::string& key);
    int RemoveWebFtpItem(const std::string& key);
    int AddWebFtpItem(const AddWebFtpArg& item);
    int AddBtItemFromFile(const std::string& pcPath, HANDLE file, const std::string& savePath, int priority);
    int AddBtItemFromUrl(const AddBtUrlArg& item);
    int RefreshStatus(ServerStatus& status);
    int SetDefaultPath(const std::string& path);
    int GetDefaultPath(std::string& path);
    // Logs in to `address` with the installed login hooks (remembered
    // credentials, prompt); `displayText` names the server in the prompt.
    int Connect(const std::string& displayText, const std::string& address);
    void SetLoginHooks(LoginHooks hooks) { login_ = std::move(hooks); }
    int OpenRoot(std::vector<std::string>& disks);
    int OpenSubCatalog(const std::string& folder, std::vector<std::string>& folders);

    // Runs one filled-in operation record behind its status text (what every
    // entry point does). The argument record receives the outputs of an
    // operation that finished.
    int Run(DeviceOperation& operation);

private:
    // Runs `kind` on `argument`, which holds the outputs afterwards.
    template <typename Argument>
    int RunOn(OperationKind kind, Argument& argument);

    win::InternetHandle session_;
    win::InternetHandle connection_;
    CRITICAL_SECTION lock_;
    std::shared_ptr<IOperationHost> host_;
    LoginHooks login_;
};

}  // namespace client
