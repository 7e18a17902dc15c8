// The hand-over of a torrent file or a link from a "/f" or "/l" start to the
// running main window: the payload of its WM_COPYDATA message, how both sides
// build and read it, and the sending process's wait.
#pragma once
#include <windows.h>

#include <string>

#include "app/HandOverMessage.h"

namespace app {

// The sending process: shows the hand-over window, starts the program when no
// main window exists, waits until the main window is idle and sends. Returns
// the process exit code; never waits for a main window that has gone.
int SendHandOver(int kind, const std::string& argument);

}  // namespace app
