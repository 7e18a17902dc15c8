// The program's command line: only its first two characters choose the form.
#pragma once
#include <string>

namespace app {

enum class CommandForm { Normal, Register, Unregister, TorrentFile, Link };

struct Command {
    CommandForm form = CommandForm::Normal;
    std::string argument;  // from the first non-blank at or after index 2
};

Command ParseCommandLine(const char* text);

// "/f" argument: the torrent path, without its surrounding double quotes.
std::string TorrentPathFromArgument(const std::string& argument);

struct LinkArgument {
    std::string hexLink;  // UTF-16 link as hexadecimal
    std::string charset;  // the page's character-set name
};
// "/l" argument: HEX, a blank, the character-set name. False without a blank.
bool ParseLinkArgument(const std::string& argument, LinkArgument& link);
// HEX: each UTF-16 unit as four digits, low byte first; other characters count as 0.
std::wstring DecodeHexLink(const std::string& hex);

}  // namespace app
