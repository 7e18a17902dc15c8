#include "dialogs/SelPathDlg.h"

#include <vector>

#include "resources/resource.h"
#include "dialogs/DialogText.h"

namespace dialogs {

namespace {
constexpr int kDiskImage = 0;
constexpr int kFolderImage = 1;
}  // namespace

CSelPathDlg::CSelPathDlg(client::CDeviceClient& client) : client_(client) {
    OnClicked(IDOK, [this] { OnOk(); });
    OnClicked(IDCANCEL, [this] { End(IDCANCEL); });
    // The tree sends the ANSI or the wide form depending on how it was asked
    // to talk to us; only the item handle and the action are read.
    for (UINT code : {TVN_ITEMEXPANDINGA, TVN_ITEMEXPANDINGW})
        OnNotifyAs<NMTREEVIEWA>(IDC_PATH_TREE, code, [this](NMTREEVIEWA& view) -> INT_PTR {
            OnExpanding(view.itemNew.hItem, view.action);
            return FALSE;  // the expansion itself is always allowed
        });
    for (UINT code : {TVN_SELCHANGEDA, TVN_SELCHANGEDW})
        OnNotifyAs<NMTREEVIEWA>(IDC_PATH_TREE, code, [this](NMTREEVIEWA& view) -> INT_PTR {
            OnSelChanged(view.itemNew.hItem);
            return 0;
        });
}

INT_PTR CSelPathDlg::Show(HWND parent) { return DoModal(::GetModuleHandleA(nullptr), IDD_SELECT_PATH, parent); }

BOOL CSelPathDlg::OnInitDialog() {
    images_.Attach(::ImageList_Create(16, 16, ILC_COLOR32 | ILC_MASK, 0, 2));
    if (images_) {
        win::GdiObject strip(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_FOLDER_IMAGES),
                                          IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        if (strip) ::ImageList_AddMasked(images_.Get(), static_cast<HBITMAP>(strip.Get()), RGB(0, 0, 0));
        SendItemMessage(IDC_PATH_TREE, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images_.Get()));
    }
    EnableItem(IDC_PATH_FOLDER, false);

    SetText(IDS_SELPATH_CAPTION);
    SetItemTexts({{IDC_PATH_PROMPT, IDS_SELPATH_PROMPT},
                  {IDC_PATH_FOLDER_LABEL, IDS_SELPATH_FOLDER},
                  {IDOK, IDS_SELPATH_OK},
                  {IDCANCEL, IDS_SELPATH_CANCEL}});

    client::FolderListArg disks;
    // The wait dialog of each operation disables the active window meanwhile.
    int result = client_.Run(client::OperationKind::OpenRoot, disks);
    if (result != 0) {
        ShowMessage(static_cast<UINT>(result));
        End(IDCANCEL);
        return TRUE;
    }
    for (const std::string& disk : disks.names) Insert(TVI_ROOT, disk, kDiskImage);
    return TRUE;
}

HTREEITEM CSelPathDlg::Insert(HTREEITEM parent, const std::string& text, int image) {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_CHILDREN;
    insert.item.pszText = const_cast<char*>(text.c_str());
    insert.item.iImage = image;
    insert.item.iSelectedImage = image;
    insert.item.cChildren = 1;  // an expand button until its folders are known
    return reinterpret_cast<HTREEITEM>(
        SendItemMessage(IDC_PATH_TREE, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

HTREEITEM CSelPathDlg::Related(HTREEITEM item, UINT relation) const {
    return reinterpret_cast<HTREEITEM>(
        SendItemMessage(IDC_PATH_TREE, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

std::string CSelPathDlg::PathOf(HTREEITEM item) const {
    std::vector<std::string> texts;
    for (HTREEITEM at = item; at; at = Related(at, TVGN_PARENT)) {
        char text[1024] = {};
        TVITEMA get = {};
        get.mask = TVIF_TEXT;
        get.hItem = at;
        get.pszText = text;
        get.cchTextMax = sizeof text;
        SendItemMessage(IDC_PATH_TREE, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&get));
        texts.insert(texts.begin(), text);
    }
    return ServerPath(texts);
}

void CSelPathDlg::OnExpanding(HTREEITEM item, UINT action) {
    if (!item || (action & TVE_EXPAND) == 0 || Related(item, TVGN_CHILD)) return;
    client::FolderListArg folders{PathOf(item), {}};
    int result = client_.Run(client::OperationKind::OpenSubCatalog, folders);
    if (result != 0) {
        ShowMessage(static_cast<UINT>(result));
        End(IDCANCEL);
        return;
    }
    for (const std::string& folder : folders.names) Insert(item, folder, kFolderImage);
    TVITEMA mark = {};
    mark.mask = TVIF_CHILDREN;
    mark.hItem = item;
    mark.cChildren = folders.names.empty() ? 0 : 1;
    SendItemMessage(IDC_PATH_TREE, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&mark));
}

void CSelPathDlg::OnSelChanged(HTREEITEM item) {
    // A disk is no folder: selecting one leaves the path as it was.
    if (!item || !Related(item, TVGN_PARENT)) return;
    path_ = PathOf(item);
    SetItemText(IDC_PATH_FOLDER, path_);
}

void CSelPathDlg::OnOk() {
    path_ = GetItemText(IDC_PATH_FOLDER);
    if (path_.empty()) {
        ShowMessage(IDS_SELECT_FOLDER);
        return;
    }
    End(IDOK);
}

}  // namespace dialogs
