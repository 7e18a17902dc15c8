// The dialog template against the control table, and the shipped language
// folders against everything the wizard reads from them.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <set>
#include <vector>

#include "app/version.h"
#include "common/WinUtil.h"
#include "wizard/KestaneDlg.h"
#include "wizard/KestaneRes.h"
#include "wizard/WizardLogic.h"

using namespace kestane;

namespace {

INT_PTR CALLBACK PlainProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

BOOL CALLBACK Count(HWND child, LPARAM counts) {
    char cls[64] = {};
    ::GetClassNameA(child, cls, sizeof cls);
    (*reinterpret_cast<std::map<std::string, int>*>(counts))[cls]++;
    return TRUE;
}

// Message keys the wizard shows; each must have a text in string.ini.
const char* const kMessageKeys[] = {
    "One_Instance", "load_image_error", "select_ip", "Input_The_Info", "Current_Pwd_Error", "Find_RAID", "HDD_1",
    "HDD_2", "HDD_12", "Be_Format", "BE_ERASED", "You_Continue", "You_Exit", "Confirm_Pwd", "Invid_Pwd",
    "Clear_Pwd", "SearchIP_Notfound", "SearchIP_Fail", "SearchIP_NoPing", "IP_127_Error", "Gateway_127_Error",
    "DNS_127_Error",
    "IP_223_Error", "Gateway_223_Error", "DNS_223_Error", "Mask_Error", "Subnetwork_Error", "IP_Brocast_Error",
    "Gateway_Brocast_Error", "IP_0_Error", "Gateway_0_Error", "Len_Error_Name", "Alphanumeric_Error",
    "Format_Warn", "busy_board", "TimeOut", "check_connect", "not_Complete", "Not_Complete", "time_set",
    "disable_RAID", "portiation_format", "create_catalogue", "create_share", "BT_set", "iTunes_set", "media_set",
    "change_name", "change_pwd", "change_network", "print_set", "system_restart", "RAID_Fail", "Format_Fail",
    "Folder_Fail", "Share_Fail", "Media_Fail",
};
// Further Control_String keys beside the control keys.
const char* const kControlKeys[] = {
    "Window_Name", "Name", "IP", "Mac", "Status_New", "Status_SetSuccess", "Status_SetFail", "Status_Busy",
    "Home_Rescaning_Position", "Str_On", "Str_Off", "VerfyPWD_Title", "VerfyPWD_MSG", "SearchIP_Title",
    "SearchIP_MSG", "STATIC_strTo_Position", "Month_12", "STATIC_TimeZone_Position63",
};

bool HasKey(const std::string& file, const char* section, const char* key) {
    char value[8] = {};
    ::GetPrivateProfileStringA(section, key, "\x01", value, sizeof value, file.c_str());
    return value[0] != '\x01';
}

}  // namespace

TEST(Template, HoldsEveryControlOfTheTable) {
    ASSERT_EQ(82u, kControlSlots);
    EXPECT_STREQ("", kControlTable[81].key);
    std::set<std::string> keys;
    std::set<int> ids;
    for (size_t i = 0; i < 81; ++i) {
        EXPECT_TRUE(keys.insert(kControlTable[i].key).second) << kControlTable[i].key;
        ids.insert(kControlTable[i].id);
    }
    EXPECT_EQ(80u, ids.size());  // Exit and Finish are one button

    HWND dialog = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_KESTANE), nullptr,
                                       &PlainProc, 0);
    ASSERT_TRUE(dialog);
    for (int id : ids) EXPECT_TRUE(::GetDlgItem(dialog, id)) << id;
    std::map<std::string, int> counts;
    ::EnumChildWindows(dialog, &Count, reinterpret_cast<LPARAM>(&counts));
    EXPECT_EQ(4, counts["SysIPAddress32"]);
    EXPECT_EQ(1, counts["SysListView32"]);
    EXPECT_EQ(5, counts["ComboBox"]);
    RECT r{0, 0, 369, 199}, template_{};
    ::MapDialogRect(dialog, &r);
    ::GetClientRect(dialog, &template_);
    EXPECT_EQ((std::pair{r.right, r.bottom}), (std::pair{template_.right, template_.bottom}));
    ::DestroyWindow(dialog);
}

TEST(ShippedFiles, EveryLanguageLaysOutEveryPageAndHasEveryText) {
    const std::string image = win::ModuleDirectory() + "..\\..\\wizard\\image\\";
    for (const char* language : {"en", "de"}) {
        SCOPED_TRACE(language);
        const std::string config = image + language + "\\Config.ini", strings = image + language + "\\string.ini";
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(config.c_str())) << config;
        for (int page = 0; page < kPageCount; ++page) {
            int shown = 0;
            for (int i = 0; i < 82; ++i) {
                const std::string key =
                    ReadIniText(config, kPageSections[page], ("control" + std::to_string(i)).c_str(), "");
                if (key.empty()) break;
                ++shown;
                bool known = false;
                for (const auto& slot : kControlTable) known = known || key == slot.key;
                EXPECT_TRUE(known) << kPageSections[page] << " " << key;
                EXPECT_TRUE(ParseControlRect(ReadIniText(config, kPageSections[page], key.c_str(), "")))
                    << kPageSections[page] << " " << key;
            }
            EXPECT_GT(shown, 1) << kPageSections[page];
        }
        EXPECT_TRUE(WindowSizeFromText(ReadIniText(config, "Pages", "Window_Size", "")));
        for (size_t i = 0; i < 81; ++i)
            EXPECT_TRUE(HasKey(config, "Control_String", kControlTable[i].key)) << kControlTable[i].key;
        for (const char* key : kControlKeys) EXPECT_TRUE(HasKey(config, "Control_String", key)) << key;
        for (const char* key : kMessageKeys)
            EXPECT_FALSE(ReadIniText(strings, "MESSAGE", key, "").empty()) << key;
    }
}

// The shipped program names itself, in the same version as the rest of the set.
TEST(ShippedFiles, ProgramCarriesItsVersion) {
    const std::string program = win::ModuleDirectory() + "..\\..\\wizard\\Kestane.exe";
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(program.c_str(), &ignored);
    ASSERT_NE(0u, size) << program;
    std::vector<char> data(size);
    ASSERT_TRUE(::GetFileVersionInfoA(program.c_str(), 0, size, data.data()));
    auto value = [&](const char* name) {
        char* text = nullptr;
        UINT length = 0;
        const std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
        return ::VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&text), &length) && text
                   ? std::string(text)
                   : std::string();
    };
    EXPECT_EQ(QUARROW_VERSION_TEXT, value("FileVersion"));
    EXPECT_EQ(QUARROW_VERSION_TEXT, value("ProductVersion"));
    EXPECT_EQ("Kestane.exe", value("OriginalFilename"));
    EXPECT_NE(std::string::npos, value("FileDescription").find("wizard")) << value("FileDescription");
    EXPECT_FALSE(value("ProductName").empty());
    EXPECT_NE("Quarrow", value("ProductName"));
}
