// What quarrowctl prints: the usage text, results, messages and exit codes.
#pragma once
#include <string>
#include <vector>

#include "client/StatusTypes.h"

namespace ctl {

enum ExitCode : int {
    kExitOk = 0,
    kExitFailed = 1,  // the server or an operation reported an error
    kExitUsage = 2,   // the command line was wrong; nothing was sent
};

// The usage text in the user's language, from the program's string table.
std::string Usage();

// Text is ANSI throughout. A real console gets it as UTF-16, so that it shows
// right whatever the console's own code page; a pipe or file gets the ANSI bytes.
void Out(const std::string& text);
void Err(const std::string& text);
// UTF-8 text (the JSON documents): a pipe or file gets the bytes as they are.
void OutUtf8(const std::string& text);

// The message of a result code, from the string table this program embeds.
std::string MessageText(int code);

// "quarrowctl: MESSAGE (CODE)" on stderr; returns kExitFailed.
int ReportFailure(int code);

// A mistake gets one line about what is wrong and the synopsis; "help" has
// the rest. An empty message prints the whole usage. Returns kExitUsage.
int ReportUsage(const std::string& message);

// The service switches and both job tables.
std::string FormatStatus(const client::ServerStatus& status);

// One text per line (disk and folder names, the default path), made safe to print.
std::string FormatLines(const std::vector<std::string>& texts);

// The same results as JSON documents, for scripts. Names follow the status
// document's own elements; texts stay exactly as the server sent them.
std::string StatusJson(const client::ServerStatus& status);
// {"KEY": [texts...]} (disks, folders).
std::string ListJson(const char* key, const std::vector<std::string>& texts);
// {"DefaultPath": "..."}.
std::string DefaultPathJson(const std::string& path);

// The process's peak memory, for the benchmark script.
std::string MemoryReport();

}  // namespace ctl
