#pragma once

#include <unistd.h>

#include <utility>

namespace corvexa::base {

// Closes with ::close(); a module that routes system calls through a table
// of its own passes a closer that calls through it.
struct PosixClose {
    int operator()(int fd) const { return ::close(fd); }
};

// Owns one file descriptor and closes it exactly once.
template <class Close = PosixClose>
class BasicUniqueFd {
public:
    BasicUniqueFd() = default;
    explicit BasicUniqueFd(int fd) : m_fd(fd) {}
    ~BasicUniqueFd() { reset(); }

    BasicUniqueFd(BasicUniqueFd&& other) noexcept : m_fd(other.release()) {}
    BasicUniqueFd& operator=(BasicUniqueFd&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    BasicUniqueFd(const BasicUniqueFd&) = delete;
    BasicUniqueFd& operator=(const BasicUniqueFd&) = delete;

    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    // Returns what closing the old descriptor returned, 0 when none was held.
    int reset(int fd = -1) {
        const int old = std::exchange(m_fd, fd);
        return old >= 0 ? Close{}(old) : 0;
    }

private:
    int m_fd = -1;
};

using UniqueFd = BasicUniqueFd<>;

}  // namespace corvexa::base
