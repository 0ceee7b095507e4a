#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "protocol/trace_output.h"

namespace protocol {

namespace {

// A reader that went away is an error of this write (EPIPE), not a signal
// that ends the whole program.
bool BlockBrokenPipeOnThisThread() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    return pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

class CFdOutput final : public CTraceOutput {
public:
    explicit CFdOutput(int fd) : m_fd(fd) {}
    ~CFdOutput() override { ::close(m_fd); }

    bool Write(const std::string& text, const std::atomic<bool>& stopping,
               std::string& error) override {
        static thread_local const bool blocked = BlockBrokenPipeOnThisThread();
        (void)blocked;
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) {
                // A reader that is slow, or has stopped: wait in short steps.
                if (stopping.load()) return true;
                pollfd fd{m_fd, POLLOUT, 0};
                ::poll(&fd, 1, 100);
                continue;
            }
            error = n < 0 ? std::strerror(errno) : "nothing could be written";
            return false;
        }
        return true;
    }

private:
    int m_fd;
};

}  // namespace

std::unique_ptr<CTraceOutput> CTraceOutput::Open(const std::string& path, std::string& error) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = errno == ENXIO ? "it is a pipe that nobody reads" : std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<CFdOutput>(fd);
}

}  // namespace protocol
