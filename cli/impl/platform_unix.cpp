#include <time.h>
#include <unistd.h>

#include "cli/impl/platform.h"

namespace cli {

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

std::tm UtcTime(std::time_t when) {
    std::tm utc{};
    ::gmtime_r(&when, &utc);
    return utc;
}

}  // namespace cli
