// Plain helpers behind the three dialogs: the texts they build, free of any
// window so that tables of cases can test them.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "protocol/Packets.h"

namespace dialogs {

// "%s (%d.%d.%d.%d)": a server's list entry.
std::string ServerEntryText(const mgmt::stserver& server);

// Whether a newly appended server should select the first entry: only while
// nothing or the first entry is selected, so that the user's choice stays.
bool SelectFirstAfterAppend(int currentSelection, int count);

// Index of the server with this address, or -1.
int FindServer(const std::vector<mgmt::stserver>& servers, const mgmt::Ipv4& address);

// Server path of a tree item given the texts from its disk down to it:
// "[HDD1]" for a disk, "[HDD1]Movies\New\" two folders further down. A disk
// whose name already comes in brackets keeps them as they are.
std::string ServerPath(const std::vector<std::string>& textsFromRoot);

// "Log in %s" and the like: a string-table format with one text inserted.
std::string FormatWithText(const std::string& format, const std::string& text);

}  // namespace dialogs
