#include <io.h>
#include <stdio.h>
#include <time.h>

#include <cstdlib>
#include <iostream>

#include "cli/impl/platform.h"

namespace cli {

bool StandardErrorIsTerminal() {
    return ::_isatty(::_fileno(stderr)) != 0;
}

bool StandardInputIsTerminal() {
    return ::_isatty(::_fileno(stdin)) != 0;
}

bool ReadInputLine(std::string& line) {
    // Ctrl-C in a console ends the pending read with an error.
    if (!std::getline(std::cin, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

std::string DataFolder() {
    if (const char* local = std::getenv("LOCALAPPDATA"); local != nullptr && *local != '\0')
        return std::string(local) + "\\corvexa";
    return {};
}

std::tm UtcTime(std::time_t when) {
    std::tm utc{};
    ::gmtime_s(&utc, &when);
    return utc;
}

}  // namespace cli
