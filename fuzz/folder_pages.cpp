// The server's root page (disk names) and folder page (folder names).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "client/FolderScan.h"
#include "fuzz/FuzzCheck.h"

using namespace client;
using Names = std::vector<std::string>;

namespace {

// The plain reading of the folder rule, searched afresh from every "<div":
// slow on big pages, so the scan under test keeps its finds instead. The two
// must agree.
Names PlainFolderScan(const std::string& page) {
    Names folders;
    for (size_t div = page.find("<div"); div != std::string::npos; div = page.find("<div", div + 1)) {
        const size_t open = page.find("> ", div + 1);
        const size_t close = page.find(" <", div + 1);
        if (open == std::string::npos || close == std::string::npos) break;
        if (open < close) folders.push_back(open + 2 < close ? page.substr(open + 2, close - open - 2) : "");
    }
    return folders;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string page(reinterpret_cast<const char*>(data), size);

    Names disks{"kept"};
    ScanRootPage(page, disks);
    FUZZ_CHECK(!disks.empty() && disks[0] == "kept");  // names are appended
    // Every disk name is a quoted value of the page: it holds no quote and is
    // followed by one.
    size_t from = 0;
    for (size_t i = 1; i < disks.size(); ++i) {
        FUZZ_CHECK(disks[i].find('"') == std::string::npos);
        const size_t at = page.find("value=\"" + disks[i] + "\"", from);
        FUZZ_CHECK(at != std::string::npos);
        from = at + 1;
    }
    FUZZ_CHECK(disks.size() - 1 <= size / 20 + 1);  // each name needs its own input marker

    Names folders;
    FUZZ_CHECK(ScanFolderPage(page, folders));  // a small page never reaches the bound
    FUZZ_CHECK(folders == PlainFolderScan(page));
    for (const std::string& name : folders) FUZZ_CHECK(name.size() <= size && page.find(name) != std::string::npos);
    return 0;
}
