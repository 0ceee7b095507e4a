#pragma once

// What this process costs: CPU time and wake-ups (context switches) of all
// its threads, those that ended included, less the simulated transmitter's
// thread (named "corvexa-sim"), so that a figure is the program's alone.

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace bench {

struct ProgramUse {
    double cpuSeconds = 0;
    long wakeups = 0;
};

inline ProgramUse ReadProgramUse() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    ProgramUse use;
    use.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    use.wakeups = usage.ru_nvcsw + usage.ru_nivcsw;
    const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) return use;
    while (dirent* entry = readdir(tasks)) {
        const std::string dir = std::string("/proc/self/task/") + entry->d_name;
        std::string comm;
        if (entry->d_name[0] == '.' || !std::getline(std::ifstream(dir + "/comm"), comm) ||
            comm != "corvexa-sim")
            continue;
        std::string stat;
        std::getline(std::ifstream(dir + "/stat"), stat);
        // After the parenthesised name comes field 3; utime and stime are 14, 15.
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string field;
        for (int n = 3; n <= 15 && fields >> field; ++n)
            if (n >= 14) use.cpuSeconds -= std::stod(field) / tick;
        std::ifstream status(dir + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.find("voluntary_ctxt_switches:") != std::string::npos)
                use.wakeups -= std::stol(line.substr(line.find(':') + 1));
        }
    }
    closedir(tasks);
    return use;
}

struct UseRate {
    double cpuPercent;  // of one core
    double wakeupsPerSecond;
};

inline UseRate RateBetween(const ProgramUse& from, const ProgramUse& to, double seconds) {
    return {100.0 * (to.cpuSeconds - from.cpuSeconds) / seconds,
            static_cast<double>(to.wakeups - from.wakeups) / seconds};
}

}  // namespace bench
