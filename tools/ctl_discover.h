// The console's "discover" command: one probe, every server that answers.
#pragma once
#include <windows.h>

// Lists the servers that answer within `waitMs`, one line each:
//   NAME  ADDRESS  MAC  STATUS
// or, with `json`, as {"servers": [{"name", "address", "mac", "status"}, ...]}
// (an empty list when none answered).
// Returns the exit code: 0 when at least one server answered, 1 when none
// did, 2 when the sockets could not be set up.
int RunDiscover(DWORD waitMs, bool json = false);
