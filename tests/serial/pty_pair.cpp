#include "tests/serial/pty_pair.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

namespace serial_test {

PtyPair::PtyPair() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    char name[128];
    if (::ptsname_r(m_master, name, sizeof name) != 0) {
        throw std::runtime_error("no pseudo-terminal name");
    }
    m_slavePath = name;
}

PtyPair::~PtyPair() {
    closeMaster();
}

void PtyPair::closeMaster() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void PtyPair::send(const std::vector<uint8_t>& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        ASSERT_GT(n, 0) << "write to pty master failed";
        done += static_cast<size_t>(n);
    }
}

std::vector<uint8_t> PtyPair::receive(size_t count, int waitMs) const {
    std::vector<uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            ADD_FAILURE() << "only " << bytes.size() << " of " << count << " bytes arrived";
            break;
        }
        pollfd fd{m_master, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        uint8_t chunk[4096];
        const ssize_t n = ::read(m_master, chunk, std::min(sizeof chunk, count - bytes.size()));
        if (n > 0) {
            bytes.insert(bytes.end(), chunk, chunk + n);
        }
    }
    return bytes;
}

namespace {
int countEntries(const char* dir) {
    DIR* d = ::opendir(dir);
    if (d == nullptr) {
        return -1;
    }
    int count = 0;
    while (dirent* e = ::readdir(d)) {
        if (e->d_name[0] != '.') {
            ++count;
        }
    }
    ::closedir(d);
    return count;
}
}  // namespace

int CountOpenDescriptors() {
    return countEntries("/proc/self/fd");
}
int CountThreads() {
    // ThreadSanitizer starts a helper thread of its own with the process's
    // first thread; start and join one first so it is part of every baseline.
    // The helper itself is waited out of the task list, or a baseline taken
    // right after it counts a thread that is already gone.
    static const bool warmedUp = [] {
        pid_t helper = 0;
        std::thread([&helper] { helper = ::gettid(); }).join();
        const std::string entry = "/proc/self/task/" + std::to_string(helper);
        for (int i = 0; i < 500 && ::access(entry.c_str(), F_OK) == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }();
    (void)warmedUp;
    return countEntries("/proc/self/task");
}

bool ThreadsSettleAt(int count) {
    for (int i = 0; i < 500; ++i) {
        if (CountThreads() == count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace serial_test
