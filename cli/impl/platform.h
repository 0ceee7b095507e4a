#pragma once

#include <ctime>
#include <string>

namespace cli {

// Whether standard error is a terminal a person watches (progress is shown
// there only then).
bool StandardErrorIsTerminal();

bool StandardInputIsTerminal();

// One line of standard input without its line end. False at the end of the
// input, and when a stop was asked for while it waited (Ctrl-C at a prompt
// ends the command, it does not wait for Enter).
bool ReadInputLine(std::string& line);

// Where the program keeps its data: $XDG_DATA_HOME/corvexa (by default
// ~/.local/share/corvexa), %LOCALAPPDATA%\corvexa on Windows; empty when
// neither is known.
std::string DataFolder();

// `when` as UTC, safe on several threads at once.
std::tm UtcTime(std::time_t when);

}  // namespace cli
