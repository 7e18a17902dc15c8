// The "/l" command lines that hand a link to Quarrow, built from plain text so that no
// link or character-set name can add arguments of its own, and the start of Quarrow with
// one. The add-in and the browsers' messaging host both hand links over through this.
#pragma once
#include <string>
#include <string_view>

namespace brevlet {

// Every UTF-16 unit as four upper-case hexadecimal digits, low byte first: "ab" -> "61006200".
std::string HexLink(std::wstring_view link);

// Text in the calling thread's ANSI code page; characters it lacks become its default character.
std::string ToThreadAnsi(std::wstring_view text);

// Text of the calling thread's ANSI code page as UTF-16.
std::wstring FromThreadAnsi(std::string_view text);

// "/l \"LINK\"". A double quote in the link would end the quoting early, so it goes as "%22",
// the form a URL carries it in anyway.
std::string QuotedLinkParameters(std::string_view ansiLink);

// "/l HEX NAME".
std::string LinkWithLangParameters(std::string_view hex, std::string_view ansiCharset);

// "/l HEX NAME" for a link and the name of its page's character set, the name made safe
// for the command line first (CommandLineCharset).
std::string LinkHandOverParameters(std::wstring_view link, std::wstring_view charset);

// A character-set name as it may stand on the command line. Real names use letters, digits
// and a few marks; anything else (blanks, quotes, controls, non-ASCII) becomes "_", so the
// name stays one word. Such a name matches no known character set, and the link still goes.
std::wstring CommandLineCharset(std::wstring_view name);

// The main program beside a module: the module path up to its last backslash plus "Quarrow.exe".
std::wstring ProgramBeside(std::wstring_view modulePath);

// Whether a program path and its parameters fit into one process command line.
bool FitsCommandLine(std::wstring_view program, std::wstring_view parameters);

// Whether a started Quarrow stays in the job object that the caller may run in. A browser can
// run its messaging host in a job that it ends, with every process in it, as soon as the
// conversation is over; a hand-over that waits for the main window, or the main window that
// it starts, must outlive that.
enum class Job { Share, Leave };

// Asks the shell to open Quarrow.exe beside `modulePath` with `parameters` (ANSI text of the
// calling thread's code page). With Job::Leave and the caller in a job that lets processes
// leave it, the program is started outside the job instead. False when the command line is
// too long to go whole, or the program could not be started.
bool StartQuarrowBeside(std::wstring_view modulePath, const std::string& parameters, Job job = Job::Share);

}  // namespace brevlet
