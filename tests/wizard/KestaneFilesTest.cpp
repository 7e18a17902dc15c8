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

BOOL CALLBACK Collect(HWND child, LPARAM children) {
    reinterpret_cast<std::vector<HWND>*>(children)->push_back(child);
    return TRUE;
}

std::string ClassOf(HWND window) {
    char cls[64] = {};
    ::GetClassNameA(window, cls, sizeof cls);
    return cls;
}

// What the wizard does with a control follows its kind, and the kind is
// the first word of its key where the key has one.
const std::pair<const char*, const char*> kKindOfPrefix[] = {
    {"IPADDRESS_", "SysIPAddress32"},
    {"LIST_", "SysListView32"},
    {"COMBO_", "ComboBox"},
    {"EDIT_", "Edit"},
    {"CHECK_", "Button"},
    {"STATIC_", "Static"},
};

// Message keys the wizard shows; each must have a text in string.ini.
const char* const kMessageKeys[] = {
    "One_Instance",
    "load_image_error",
    "select_ip",
    "Input_The_Info",
    "Current_Pwd_Error",
    "Find_RAID",
    "HDD_1",
    "HDD_2",
    "HDD_12",
    "Be_Format",
    "BE_ERASED",
    "You_Continue",
    "You_Exit",
    "Confirm_Pwd",
    "Invid_Pwd",
    "Clear_Pwd",
    "SearchIP_Notfound",
    "SearchIP_Fail",
    "SearchIP_NoPing",
    "IP_127_Error",
    "Gateway_127_Error",
    "DNS_127_Error",
    "IP_223_Error",
    "Gateway_223_Error",
    "DNS_223_Error",
    "Mask_Error",
    "Subnetwork_Error",
    "IP_Brocast_Error",
    "Gateway_Brocast_Error",
    "IP_0_Error",
    "Gateway_0_Error",
    "Len_Error_Name",
    "Alphanumeric_Error",
    "Format_Warn",
    "busy_board",
    "TimeOut",
    "check_connect",
    "not_Complete",
    "Not_Complete",
    "time_set",
    "disable_RAID",
    "portiation_format",
    "create_catalogue",
    "create_share",
    "BT_set",
    "iTunes_set",
    "media_set",
    "change_name",
    "change_pwd",
    "change_network",
    "print_set",
    "system_restart",
    "RAID_Fail",
    "Format_Fail",
    "Folder_Fail",
    "Share_Fail",
    "Media_Fail",
};
// Further Control_String keys beside the control keys.
const char* const kControlKeys[] = {
    "Window_Name",
    "Name",
    "IP",
    "Mac",
    "Status_New",
    "Status_SetSuccess",
    "Status_SetFail",
    "Status_Busy",
    "Home_Rescaning_Position",
    "Str_On",
    "Str_Off",
    "VerfyPWD_Title",
    "VerfyPWD_MSG",
    "SearchIP_Title",
    "SearchIP_MSG",
    "STATIC_strTo_Position",
    "Month_12",
    "STATIC_TimeZone_Position63",
};

bool HasKey(const std::string& file, const char* section, const char* key) {
    char value[8] = {};
    ::GetPrivateProfileStringA(section, key, "\x01", value, sizeof value, file.c_str());
    return value[0] != '\x01';
}

}  // namespace

TEST(Template, HoldsEveryControlOfTheTableAndNoOther) {
    const auto table = ControlTable();
    ASSERT_FALSE(table.empty());
    EXPECT_STREQ("", table.back().key);
    std::set<std::string> keys;
    std::map<int, std::string> keyOfId;
    for (const auto& slot : table.first(table.size() - 1)) {
        EXPECT_TRUE(keys.insert(slot.key).second) << slot.key;
        EXPECT_NE(0, slot.id) << slot.key;
        keyOfId.emplace(slot.id, slot.key);
    }

    HWND dialog =
        ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_KESTANE), nullptr, &PlainProc, 0);
    ASSERT_TRUE(dialog);
    for (const auto& [id, key] : keyOfId) EXPECT_TRUE(::GetDlgItem(dialog, id)) << key;
    std::vector<HWND> children;
    ::EnumChildWindows(dialog, &Collect, reinterpret_cast<LPARAM>(&children));
    for (HWND child : children) {
        if (::GetParent(child) != dialog) continue;  // the parts of a control
        const int id = ::GetDlgCtrlID(child);
        EXPECT_TRUE(keyOfId.count(id)) << "no key names control " << id;
    }
    for (const auto& slot : table.first(table.size() - 1)) {
        HWND control = ::GetDlgItem(dialog, slot.id);
        if (!control) continue;
        for (const auto& [prefix, kind] : kKindOfPrefix)
            if (std::string(slot.key).starts_with(prefix)) { EXPECT_EQ(kind, ClassOf(control)) << slot.key; }
    }
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
        for (const PageEntry& page : PageTable()) {
            std::set<int> shown;
            for (size_t i = 0; i < ControlTable().size(); ++i) {
                const std::string key = ReadIniText(config, page.section, ("control" + std::to_string(i)).c_str(), "");
                if (key.empty()) break;
                int id = 0;
                for (const auto& slot : ControlTable())
                    if (key == slot.key) id = slot.id;
                EXPECT_NE(0, id) << page.section << " " << key;
                shown.insert(id);
                EXPECT_TRUE(ParseControlRect(ReadIniText(config, page.section, key.c_str(), "")))
                    << page.section << " " << key;
            }
            EXPECT_GT(shown.size(), 1u) << page.section;
            // A page with a way on shows it (some Prev buttons never show).
            if (page.nextButton) { EXPECT_TRUE(shown.count(page.nextButton)) << page.section; }
        }
        EXPECT_TRUE(WindowSizeFromText(ReadIniText(config, "Pages", "Window_Size", "")));
        for (const auto& slot : ControlTable())
            if (slot.id) { EXPECT_TRUE(HasKey(config, "Control_String", slot.key)) << slot.key; }
        for (const char* key : kControlKeys) EXPECT_TRUE(HasKey(config, "Control_String", key)) << key;
        for (const char* key : kMessageKeys) EXPECT_FALSE(ReadIniText(strings, "MESSAGE", key, "").empty()) << key;
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
