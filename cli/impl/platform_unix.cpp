#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "cli/impl/platform.h"
#include "cli/stop_signal.h"

namespace cli {

bool StandardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

bool StandardInputIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}

bool ReadInputLine(std::string& line) {
    // Our own buffer on the descriptor: the wait must wake up for a stop,
    // which a blocked std::getline would not (signals restart its read).
    static std::string pending;
    static bool ended = false;
    for (;;) {
        if (const auto end = pending.find('\n'); end != std::string::npos) {
            line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            pending.erase(0, end + 1);
            return true;
        }
        if (ended) {
            if (pending.empty()) return false;
            line.swap(pending);
            pending.clear();
            return true;
        }
        if (StopRequested()) return false;
        pollfd in{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&in, 1, 200);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) continue;
        char buffer[512];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0)
            ended = true;
        else
            pending.append(buffer, static_cast<std::size_t>(got));
    }
}

std::string DataFolder() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/')
        return std::string(data) + "/corvexa";
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return std::string(home) + "/.local/share/corvexa";
    return {};
}

std::tm UtcTime(std::time_t when) {
    std::tm utc{};
    ::gmtime_r(&when, &utc);
    return utc;
}

}  // namespace cli
