#include "cli/backup_file.h"

#include <chrono>
#include <ctime>

#include "cli/impl/platform.h"

namespace cli {

std::string UtcNow() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    const std::tm utc = UtcTime(now);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace cli
