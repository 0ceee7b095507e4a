#include <io.h>
#include <stdio.h>
#include <time.h>

#include "cli/impl/platform.h"

namespace cli {

bool StandardErrorIsTerminal() {
    return ::_isatty(::_fileno(stderr)) != 0;
}

std::tm UtcTime(std::time_t when) {
    std::tm utc{};
    ::gmtime_s(&utc, &when);
    return utc;
}

}  // namespace cli
