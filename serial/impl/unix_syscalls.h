#pragma once

// The system calls of the Linux port, gathered in one table so that tests
// can make any of them fail (EINTR, EIO, a rejected configuration) without
// a real device misbehaving. Swap entries only while no port is in use.

#include <poll.h>
#include <sys/types.h>

#include <cstddef>

struct termios2;

namespace serial::unix_sys {

struct Calls {
    int (*open)(const char* path, int flags);
    int (*close)(int fd);
    ssize_t (*read)(int fd, void* buffer, size_t size);
    ssize_t (*write)(int fd, const void* data, size_t size);
    int (*poll)(pollfd* fds, nfds_t count, int timeoutMs);
    int (*flock)(int fd, int operation);
    int (*setExclusive)(int fd);    // TIOCEXCL
    int (*clearExclusive)(int fd);  // TIOCNXCL
    int (*getAttr)(int fd, termios2* settings);
    int (*setAttr)(int fd, const termios2* settings);
    int (*setLowLatency)(int fd);  // TIOCSSERIAL with ASYNC_LOW_LATENCY
};

// The live table, initially the real calls.
Calls& calls();

// The real calls, to restore a table after a test.
const Calls& realCalls();

}  // namespace serial::unix_sys
