// Files dropped onto the main window. Each torrent file among them opens the
// add dialog for a torrent, filled in, just as if the user had pressed Add and
// chosen it; everything else is left out with one message for the whole drop.
#include <windows.h>
#include <shellapi.h>

#include "app/DropList.h"
#include "app/QuarrowDlg.h"
#include "app/SharedState.h"
#include "resources/resource.h"
#include "common/WinUtil.h"

namespace app {

namespace {

// The drop's names, read within the block's own size. The message may come
// from any program: a handle that does not hold a drop block is left alone,
// not freed, since under Wine a handle posted from another process can name an
// unrelated block of this one.
std::vector<std::string> TakeDrop(HDROP drop) {
    std::vector<std::string> names;
    SIZE_T size = ::GlobalSize(drop);
    const void* block = size != 0 ? ::GlobalLock(drop) : nullptr;
    if (!block) return names;
    bool read = ReadDropFiles(block, size, names);
    ::GlobalUnlock(drop);
    if (read) ::DragFinish(drop);
    return names;
}

}  // namespace

void CQuarrowDlg::OnDropFiles(HDROP drop) {
    std::vector<std::string> names = TakeDrop(drop);
    // A drop is taken when the Add button could be pressed: connected, and
    // nothing else running (no command, dialog or refresh meanwhile).
    if (names.empty() || Shared().busyCount != 0 || !::IsWindowEnabled(Item(IDC_MAIN_BT_ADD))) return;

    std::vector<DroppedFile> files;
    for (std::string& name : names) {
        DWORD attributes = ::GetFileAttributesA(name.c_str());
        bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        files.push_back({std::move(name), folder});
    }
    DropList list = SortDroppedFiles(files);

    // The whole drop is one piece of work: no refresh or hand-over between its dialogs.
    BusyScope busy(*this);
    ::SetForegroundWindow(Hwnd());
    if (list.ignored != 0) ShowMessage(IDS_DROP_NOT_TORRENT);
    // One dialog after the other. Cancel ends the drop: with many files the
    // user should not have to cancel each of them. A lost connection ends it
    // too, as it disables the Add button.
    for (const std::string& torrent : list.torrents)
        if (!AddBt(torrent) || !current_.connected) break;
}

}  // namespace app
