// Plain rules behind the two add dialogs: the checks on OK in their order,
// the raw-or-encoded "%" rule, the two URL texts and the character-set box.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "client/CSConvertor.h"
#include "dialogs/UrlText.h"

namespace dialogs {

struct UrlTexts {
    std::string inCharset;  // for the chosen code page, or the default encoding for 0
    std::string inUtf8;
};
UrlTexts MakeUrlTexts(const std::string& url, int codePage);

// The outcome of a check: 0 when it passed, else the message to show and the
// control that gets the focus.
struct Check {
    UINT message = 0;
    int focus = 0;
};
// The torrent dialog: the URL source checks the URL, the PC source the file
// name; then the save path.
Check CheckAddBt(bool fromUrl, const std::string& pcPath, const std::string& url, const std::string& savePath);
// The Web/FTP dialog: empty URL, empty save path, then the scheme.
Check CheckAddFtp(const std::string& url, const std::string& savePath);

// The entries of the character-set box: "Default" (0), UTF-8, the ANSI code page.
struct CharsetChoice {
    std::string name;
    int codePage;
};
std::vector<CharsetChoice> CharsetChoices(const client::CCSConvertor& charsets, const std::string& defaultName,
                                          int ansiCodePage);

}  // namespace dialogs
