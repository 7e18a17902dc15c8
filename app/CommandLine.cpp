#include "CommandLine.h"

#include <cstring>

namespace app {

Command ParseCommandLine(const char* text) {
    Command command;
    if (!text || std::strlen(text) < 2 || text[0] != '/') return command;
    switch (text[1]) {
    case 'r':
        command.form = CommandForm::Register;
        break;
    case 'u':
        command.form = CommandForm::Unregister;
        break;
    case 'f':
        command.form = CommandForm::TorrentFile;
        break;
    case 'l':
        command.form = CommandForm::Link;
        break;
    default:
        return command;
    }
    size_t start = 2;
    size_t length = std::strlen(text);
    while (start < length && text[start] == ' ') ++start;
    command.argument.assign(text + start);
    return command;
}

std::string TorrentPathFromArgument(const std::string& argument) {
    // The shell quotes the path: drop the first and the last character.
    if (argument.size() < 2) return std::string();
    return argument.substr(1, argument.size() - 2);
}

bool ParseLinkArgument(const std::string& argument, LinkArgument& link) {
    size_t blank = argument.find(' ');
    if (blank == std::string::npos) return false;
    link.hexLink = argument.substr(0, blank);
    link.charset = argument.substr(blank + 1);
    return true;
}

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;  // anything else counts as 0
}
}  // namespace

std::wstring DecodeHexLink(const std::string& hex) {
    std::wstring link;
    for (size_t i = 0; i + 4 <= hex.size(); i += 4) {
        unsigned low = HexDigit(hex[i]) * 16 + HexDigit(hex[i + 1]);
        unsigned high = HexDigit(hex[i + 2]) * 16 + HexDigit(hex[i + 3]);
        link.push_back(static_cast<wchar_t>(low | (high << 8)));
    }
    return link;
}

}  // namespace app
