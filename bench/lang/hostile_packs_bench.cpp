// Prints, for each broken or hostile pack, how the reader ends (loaded,
// refused, crashed, still running), how long it took and how much its
// resident memory grew. Each load runs in a child process with a time
// limit and a 3 GiB address-space limit, so a reader that crashes, hangs
// or eats memory is measured rather than taking the bench with it.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/lang/hostile_packs.h"
#include "tests/peak_memory.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kLimitSeconds = 20;

struct Outcome {
    int rc;
    double ms;
    long peakMiB;
};

void RunChild(const std::string& path, int out) {
    rlimit as{3UL << 30, 3UL << 30};
    setrlimit(RLIMIT_AS, &as);
    if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(3);
    Outcome o{};
    CLanguage lang;
    const auto t0 = Clock::now();
    o.peakMiB =
        memtest::PeakGrowthMiB([&] { o.rc = CLanguageTestAccess::Load(lang, path); }).value_or(-1);
    o.ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    if (write(out, &o, sizeof o) != sizeof o) _exit(4);
    _exit(0);
}

void Measure(const langtest::HostileCase& c, const langtest::TempDir& dir) {
    const std::string path = dir.lang(std::string(c.name) + "_" + c.file);
    if (!c.make(path)) {
        std::printf("%-24s could not be made\n", c.name);
        return;
    }
    int fds[2];
    if (pipe(fds) != 0) return;
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        RunChild(path, fds[1]);
    }
    close(fds[1]);
    const auto t0 = Clock::now();
    int status = 0;
    bool timedOut = false;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() - t0 > std::chrono::seconds(kLimitSeconds)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            timedOut = true;
            break;
        }
        usleep(10000);
    }
    Outcome o{};
    const bool reported = read(fds[0], &o, sizeof o) == sizeof o;
    close(fds[0]);
    if (timedOut) {
        std::printf("%-24s still running after %d s, killed\n", c.name, kLimitSeconds);
    } else if (WIFSIGNALED(status)) {
        std::printf("%-24s crashed: %s\n", c.name, strsignal(WTERMSIG(status)));
    } else if (!reported) {
        std::printf("%-24s exited with %d without a result\n", c.name, WEXITSTATUS(status));
    } else {
        std::printf("%-24s %-8s %9.1f ms %6ld MiB peak growth\n", c.name,
                    o.rc == 0 ? "loaded" : "refused", o.ms, o.peakMiB);
    }
}

}  // namespace

int main() {
    langtest::TempDir dir;
    for (const langtest::HostileCase& c : langtest::kHostileCases) Measure(c, dir);
    return 0;
}
