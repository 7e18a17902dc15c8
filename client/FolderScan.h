// The pages that list the server's disks and folders, scanned apart from the
// requests so that they can be checked without a server.
#pragma once
#include <string>
#include <vector>

namespace client {

// Disk names: the value of each hidden input, in page order.
void ScanRootPage(const std::string& page, std::vector<std::string>& disks);

// Folder names: the text between "> " and " <" after each "<div", in page order.
// False (the names so far kept) when the names would add up to more than a
// whole page may hold.
bool ScanFolderPage(const std::string& page, std::vector<std::string>& folders);

}  // namespace client
