#include "sim/proc_locks.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace corvexa::sim {

bool FlockHeld(std::string_view procLocks, unsigned major, unsigned minor, unsigned long inode) {
    // e.g. "1: FLOCK  ADVISORY  WRITE 16102 00:1a:5 0 EOF"; the device is
    // major:minor in hex, the inode in decimal.
    std::istringstream lines{std::string(procLocks)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string word;
        bool flock = false;
        bool waiter = false;
        while (words >> word) {
            if (word == "->") {
                waiter = true;
            } else if (word == "FLOCK") {
                flock = true;
            } else if (flock && !waiter) {
                unsigned maj = 0;
                unsigned min = 0;
                unsigned long ino = 0;
                char tail = 0;
                if (std::sscanf(word.c_str(), "%x:%x:%lu%c", &maj, &min, &ino, &tail) == 3 &&
                    maj == major && min == minor && ino == inode) {
                    return true;
                }
            }
        }
    }
    return false;
}

std::string ReadProcLocks() {
    std::ifstream in("/proc/locks");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace corvexa::sim
