// The console's "discover" command: one probe, every server that answers.
#pragma once

// argv holds the command's own arguments (after "discover"); returns the exit code.
int RunDiscoverCommand(int argc, char** argv);
