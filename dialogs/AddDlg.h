// The two add dialogs. They send nothing themselves but the default-path query
// when they open; the main window runs the add with what they leave behind.
#pragma once
#include <windows.h>

#include <string>

#include "client/CSConvertor.h"
#include "client/DeviceClient.h"
#include "common/Dialog.h"
#include "dialogs/AddText.h"

namespace dialogs {

// What both dialogs share: the character-set box, the save path filled from
// the server's default and changed only with the server folder dialog, and the
// URL texts computed on OK.
class CAddDlgBase : public win::CDialog {
public:
    // After OK.
    const UrlTexts& Urls() const { return urls_; }
    const std::string& SavePath() const { return savePath_; }

protected:
    CAddDlgBase(client::CDeviceClient& client, const client::CCSConvertor& charsets);
    // Fills the character-set box, asks for the default path, brings the
    // owner up. Called by the dialogs' initialisation after their texts.
    void PrepareCommon();
    // Shows the message of a failed check and puts the focus on its control.
    bool Refuse(const Check& check);
    // Computes the URL texts from the URL box and keeps the save path.
    void TakeUrlAndPath();

private:
    void BrowseFolder();

    client::CDeviceClient& client_;
    const client::CCSConvertor& charsets_;
    UrlTexts urls_;
    std::string savePath_;
};

class CAddBtDlg : public CAddDlgBase {
public:
    CAddBtDlg(client::CDeviceClient& client, const client::CCSConvertor& charsets);
    INT_PTR Show(HWND owner);
    // Before Show: the torrent file on the PC that the dialog opens with.
    void PresetPcPath(const std::string& path) { presetPath_ = path; }

    // After OK.
    bool FromUrl() const { return fromUrl_; }
    const std::string& PcPath() const { return pcPath_; }
    int PriorityPosition() const { return priority_; }  // 0 High, 1 Normal, 2 Low

private:
    BOOL OnInitDialog() override;
    void ApplySource();
    void BrowseTorrent();
    void OnOk();

    bool fromUrl_ = false;
    std::string presetPath_;
    std::string pcPath_;
    int priority_ = 1;
};

class CAddFtpDlg : public CAddDlgBase {
public:
    CAddFtpDlg(client::CDeviceClient& client, const client::CCSConvertor& charsets);
    INT_PTR Show(HWND owner);

    // After OK, as typed.
    const std::string& User() const { return user_; }
    const std::string& Password() const { return password_; }

private:
    BOOL OnInitDialog() override;
    void OnOk();

    std::string user_, password_;
};

}  // namespace dialogs
