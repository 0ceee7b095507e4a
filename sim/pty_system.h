#pragma once

#include <cstddef>
#include <string>

struct termios;

namespace corvexa::sim {

// The system calls the pseudo-terminal owner makes, gathered so a test can
// make any one of them fail. Real() is what the simulator uses.
struct PtySystem {
    int (*openpt)(int flags);
    int (*grantpt)(int fd);
    int (*unlockpt)(int fd);
    int (*ptsname_r)(int fd, char* buf, std::size_t len);
    int (*open)(const char* path, int flags);
    int (*tcgetattr)(int fd, struct termios* t);
    int (*tcsetattr)(int fd, int when, const struct termios* t);
    int (*getfl)(int fd);
    int (*setfl)(int fd, int flags);
    // For the sweep after the program has closed the slave.
    int (*getexcl)(int fd, int* on);
    int (*clearexcl)(int fd);
    int (*flushInput)(int fd);
    std::string (*readLocks)();

    static const PtySystem& Real();
};

}  // namespace corvexa::sim
