// The installed program's command line, run as a user would run it.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct SRun {
    int exitCode = -1;
    std::string output;  // standard output and error together
};

SRun RunProgram(const std::string& envAndArgs) {
    const std::string cmd = "env " + envAndArgs + " 2>&1";
    SRun run;
    FILE* pipe = ::popen(cmd.c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 512> buf{};
    while (size_t n = std::fread(buf.data(), 1, buf.size(), pipe)) run.output.append(buf.data(), n);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

const std::string kProgram = CORVEXA_BINARY_DIR "/bin/corvexa";

TEST(Program, HelpAndVersionNeedNoDisplay) {
    const SRun help =
        RunProgram("-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + kProgram + " --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.output.find("--simulate"), std::string::npos);
    EXPECT_NE(help.output.find("--port PATH"), std::string::npos);

    const SRun version = RunProgram("-u DISPLAY " + kProgram + " --version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, "corvexa 1.0.0\n");
}

TEST(Program, WithoutADisplayItSaysSoInOneLine) {
    const SRun run =
        RunProgram("-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + kProgram + " --simulate");
    EXPECT_NE(run.exitCode, 0);
    ASSERT_FALSE(run.output.empty());
    EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << run.output;
    EXPECT_NE(run.output.find("no display"), std::string::npos) << run.output;
}

TEST(Program, BadOptionsAreRefusedBeforeAnythingStarts) {
    const SRun run = RunProgram("-u DISPLAY " + kProgram + " --port");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.output.find("option --port needs a path"), std::string::npos) << run.output;
}

}  // namespace
