#include "cli_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

extern char** environ;

namespace cli::testing {

namespace {

std::string TempFile() {
    char name[] = "/tmp/corvexa-cli-test-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd >= 0) ::close(fd);
    return name;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    ::unlink(path.c_str());
    return text.str();
}

}  // namespace

namespace {

CliRun Spawn(const char* program, std::vector<std::string> all,
             const std::function<void(pid_t)>& whileRunning) {
    const std::string outPath = TempFile();
    const std::string errPath = TempFile();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_TRUNC,
                                     0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_TRUNC,
                                     0);

    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    CliRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, program, &actions, nullptr, argv.data(), environ) == 0) {
        if (whileRunning) whileRunning(pid);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0) {
        }
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = Slurp(outPath);
    run.err = Slurp(errPath);
    return run;
}

}  // namespace

CliRun RunCli(const std::vector<std::string>& args,
              const std::function<void(pid_t)>& whileRunning) {
    std::vector<std::string> all{CORVEXA_CLI};
    all.insert(all.end(), args.begin(), args.end());
    return Spawn(CORVEXA_CLI, all, whileRunning);
}

CliRun RunShell(const std::string& script) {
    return Spawn("/bin/bash", {"bash", "-c", script, CORVEXA_CLI}, {});
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace cli::testing
