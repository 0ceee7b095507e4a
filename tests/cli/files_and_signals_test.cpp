// corvexa-cli against hostile files, stalled streams, odd port names and
// signals, as a real process against the simulator.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "cli_process.h"
#include "sim/simulated_transmitter.h"

namespace cli::testing {
namespace {

using namespace std::chrono_literals;
using corvexa::sim::SimulatedTransmitter;
using nlohmann::json;

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + name)).string();
}

std::unique_ptr<SimulatedTransmitter> Device() {
    SimulatedTransmitter::Options options;
    options.wander = false;
    return std::make_unique<SimulatedTransmitter>(options);
}

std::size_t Writes(const SimulatedTransmitter& sim) {
    std::size_t n = 0;
    for (const auto& f : sim.Frames()) n += f.bytes[0] == 0x01 && f.bytes[1] == 0x06;
    return n;
}

bool EndedWithLinkEnd(const SimulatedTransmitter& sim) {
    const auto frames = sim.Frames();
    return !frames.empty() && frames.back().bytes[0] == 0xFF && frames.back().bytes[1] == 0xBB;
}

// A file restore must refuse before anything is sent, in one line each.
TEST(HostileFiles, RestoreRefusesWhatWriteWouldAndSaysWhy) {
    auto sim = Device();
    const std::string good = TempPath("-good.json");
    ASSERT_EQ(RunCli({"--port", sim->SlavePath(), "backup", good}).status, 0);
    std::ifstream in(good);
    const json saved = json::parse(in);
    const std::string big = TempPath("-big.json");
    std::ofstream(big) << std::string(2 << 20, ' ');

    struct Case {
        const char* name;
        std::function<void(json&)> spoil;  // null: the file is `path`
        std::string path;
        std::vector<const char*> says;
    } cases[] = {
        {"format number", [](json& d) { d["format"] = 5; }, "", {"\"format\" should be a text"}},
        {"time number", [](json& d) { d["time"] = 5; }, "", {"\"time\" should be a text"}},
        {"port array",
         [](json& d) {
             d["port"] = {1, 2};
         },
         "",
         {"\"port\" should be a text, not array"}},
        {"endless", nullptr, "/dev/zero", {"over 1 MiB"}},
        {"too big", nullptr, big, {"over 1 MiB"}},
        {"codes and limits",
         [](json& d) {
             d["registers"]["10"] = 99;
             d["registers"]["18"] = 99;
             d["registers"]["16"] = 500;
         },
         "",
         {"signal-source=code:99 refused", "gain=code:99 refused",
          "lower-limit=500 refused: not below upper-limit 150", "nothing was written"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = c.path;
        if (c.spoil) {
            json document = saved;
            c.spoil(document);
            path = TempPath("-spoilt.json");
            std::ofstream(path) << document.dump();
        }
        sim->ClearFrames();
        const CliRun run = RunCli({"--port", sim->SlavePath(), "restore", path});
        EXPECT_EQ(run.status, 2) << run.err;
        for (const char* words : c.says)
            EXPECT_NE(run.err.find(words), std::string::npos) << run.err;
        EXPECT_EQ(sim->FrameCount(), 0u);  // refused before the port was opened
    }
    // --force lets the inverted limits through, as it does for write.
    json inverted = saved;
    inverted["registers"]["16"] = 500;
    const std::string path = TempPath("-inverted.json");
    std::ofstream(path) << inverted.dump();
    const CliRun forced = RunCli({"--port", sim->SlavePath(), "restore", path, "--force"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(sim->Register(16), 500);
    EXPECT_EQ(Writes(*sim), 1u);
    // A register no command writes is said to be so, not to be held.
    json baud = saved;
    baud["registers"]["13"] = 4;
    std::ofstream(path) << baud.dump();
    const CliRun kept = RunCli({"--port", sim->SlavePath(), "restore", path, "--force"});
    EXPECT_EQ(kept.status, 0) << kept.err;
    EXPECT_NE(kept.out.find("never written by this tool"), std::string::npos) << kept.out;
    for (const std::string& f : {good, big, path, TempPath("-spoilt.json")}) std::remove(f.c_str());
}

// The port goes away at the 4th write: each row says what really happened.
TEST(HostileFiles, RestoreSaysWhatBecameOfEachRowWhenThePortIsLost) {
    auto sim = Device();
    const std::string file = TempPath("-lost.json");
    ASSERT_EQ(RunCli({"--port", sim->SlavePath(), "backup", file}).status, 0);
    for (auto [reg, word] : {std::pair{10, 3}, {15, 7}, {16, 65000}, {17, 120}})
        ASSERT_TRUE(
            sim->SetRegister(static_cast<std::uint16_t>(reg), static_cast<std::uint16_t>(word)));
    const std::size_t before = sim->RequestsHandled();
    const CliRun run = RunCli({"--port", sim->SlavePath(), "--json", "restore", file}, [&](pid_t) {
        // Handshake and 14 reads; then three writes answered and the fourth
        // (register 17) not: once it is on the line, the third's echo was
        // taken, and the port goes.
        if (!sim->WaitForHandled(before + 2 + 14, 20s)) return;
        corvexa::sim::FaultModes ignore17;
        ignore17.ignoreRegister = 17;
        sim->SetFaults(ignore17);
        if (sim->WaitForHandled(before + 2 + 14 + 4, 20s)) sim.reset();
    });
    EXPECT_EQ(run.status, 5) << run.err;
    EXPECT_NE(run.err.find("the port was lost"), std::string::npos) << run.err;
    const json out = json::parse(run.out);
    ASSERT_EQ(out["changes"].size(), 4u) << run.out;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(out["changes"][i]["result"], "written and confirmed, not read back") << i;
    EXPECT_EQ(out["changes"][3]["ok"], false);
    EXPECT_NE(out["changes"][3]["result"], "written and read back");
    EXPECT_EQ(out["port_lost"], true);
    std::remove(file.c_str());
}

// A trace that cannot be written never holds up the exchanges, is said
// once, and leaves the command's own outcome.
TEST(HostileFiles, TraceTargetsNeverBlockAndFailAloud) {
    auto sim = Device();
    const std::string fifo = TempPath("-trace.fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        const char* name;
        std::string trace;
        bool stalledReader;
        int status;
        const char* says;  // on stderr, once; null: nothing
    } cases[] = {
        {"pipe without reader", fifo, false, 2, "a pipe that nobody reads"},
        {"full disk", "/dev/full", false, 0, "No space left on device"},
        {"stalled reader", fifo, true, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int reader = -1;
        if (c.stalledReader) {
            reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
            ::fcntl(reader, F_SETPIPE_SZ, 4096);  // full after a few lines
        }
        const CliRun run = RunCli({"--port", sim->SlavePath(), "--trace", c.trace, "--json",
                                   "sample", "zero", "--count", "60"});
        if (reader >= 0) ::close(reader);
        EXPECT_EQ(run.status, c.status) << run.err;
        if (c.says != nullptr) {
            EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
            EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        }
        if (c.status == 0) {
            EXPECT_EQ(Lines(run.out).size(), 60u);  // every reading, none frozen
        }
    }
    ::unlink(fifo.c_str());
}

// Names that are no serial port get words that say so.
TEST(HostileFiles, PortNamesThatAreNoPortAreNamedSo) {
    struct Case {
        std::string port;
        int status;
        const char* says;
    } cases[] = {
        {"/dev/ptmx", 3, "is not a serial port"},
        {"/dev/console", 3, "is not a serial port"},
        {"/dev/tty", 3, "is not a serial port"},
        {"", 3, "no port name given"},
        {"/dev/corvexa-no-such-port", 3, "no such port"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        if (!c.port.empty() && c.port != "/dev/corvexa-no-such-port" &&
            ::access(c.port.c_str(), F_OK) != 0)
            continue;  // not on this machine
        const CliRun run = RunCli({"--port", c.port, "read"});
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
}

// Ctrl-C, SIGTERM and a closed pipe: the exchange on the line ends, LinkEnd
// goes out, the port is free again and the status says which.
TEST(Signals, EndTheSessionWithLinkEndAndTheirStatus) {
    struct Case {
        const char* name;
        int signal;  // 0: the output pipe closes
        std::vector<std::string> command;
        int status;
    } cases[] = {
        {"SIGINT during sample", SIGINT, {"sample", "zero", "--count", "1000"}, 130},
        {"SIGTERM during read", SIGTERM, {"--factory", "read"}, 143},
        {"closed pipe", 0, {"--json", "sample", "zero", "--count", "1000"}, 141},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto sim = Device();
        CliRun run;
        if (c.signal != 0) {
            std::vector<std::string> args{"--port", sim->SlavePath()};
            args.insert(args.end(), c.command.begin(), c.command.end());
            run = RunCli(args, [&](pid_t pid) {
                // The handshake and a few reads, then the signal.
                if (sim->WaitForHandled(5, 10s)) ::kill(pid, c.signal);
            });
        } else {
            run = RunShell("set -o pipefail; \"$0\" --port " + sim->SlavePath() +
                           " --json sample zero --count 1000 | head -1");
        }
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_TRUE(EndedWithLinkEnd(*sim));
        EXPECT_LT(sim->FrameCount(), 100u);
        const int fd = ::open(sim->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);  // released
        ::close(fd);
    }
}

}  // namespace
}  // namespace cli::testing
