#pragma once

#include <chrono>
#include <filesystem>
#include <thread>

#include "threads/impl/posix_calls.h"

namespace threads_test {

// Polls cond until it holds or a generous limit passes; returns the last
// value. Only for waiting on other threads, never for measuring them.
template <typename Cond>
bool Eventually(Cond cond, std::chrono::seconds limit = std::chrono::seconds(30)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline)
            return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Sanitizers start a helper thread of their own with the first thread the
// process creates; take baselines only after this.
inline void WarmUpThreads() {
    std::thread([] {}).join();
}

inline std::size_t ProcessThreadCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

// Swaps in failing POSIX thread calls for one test and puts the real ones
// back however the test ends.
class CPosixCallsOverride {
public:
    CPosixCallsOverride() : m_saved(threads_impl::PosixThreadCalls()) {}
    ~CPosixCallsOverride() { threads_impl::PosixThreadCalls() = m_saved; }
    threads_impl::SPosixThreadCalls& Calls() {
        return threads_impl::PosixThreadCalls();
    }

private:
    threads_impl::SPosixThreadCalls m_saved;
};

}  // namespace threads_test
