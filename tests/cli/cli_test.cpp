#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <thread>

#include "cli_process.h"
#include "serial/serial.h"
#include "sim/simulated_transmitter.h"

namespace cli::testing {
namespace {

using namespace std::chrono_literals;
using corvexa::sim::SimulatedTransmitter;
using nlohmann::json;

// A PT100 transmitter with 1 decimal place, zero offset 2.5, range -50..150,
// at 9600 baud pacing; sample registers hold still.
std::unique_ptr<SimulatedTransmitter> Device() {
    SimulatedTransmitter::Options options;
    options.wander = false;
    auto sim = std::make_unique<SimulatedTransmitter>(options);
    sim->SetRegister(14, 1);
    sim->SetRegister(15, 25);
    sim->SetRegister(16, 0xFFCE);
    sim->SetRegister(17, 150);
    return sim;
}

std::size_t Count(const SimulatedTransmitter& sim, std::uint8_t function) {
    const auto frames = sim.Frames();
    return static_cast<std::size_t>(std::count_if(frames.begin(), frames.end(), [&](const auto& f) {
        return f.bytes[0] == 0x01 && f.bytes[1] == function;
    }));
}

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + name)).string();
}

TEST(CorvexaCli, ReadShowsTheRegistersOfEachVersion) {
    struct Case {
        bool factory;
        int registers;
    } cases[] = {{false, 8}, {true, 14}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.factory ? "factory" : "user");
        auto sim = Device();
        const std::string trace = TempPath("-trace.txt");
        std::vector<std::string> args{"--port", sim->SlavePath(), "--json", "--trace", trace,
                                      "read"};
        if (c.factory) args.push_back("--factory");
        const CliRun run = RunCli(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const json out = json::parse(run.out);
        EXPECT_EQ(out["format"], "corvexa-read");
        EXPECT_EQ(out["port"], sim->SlavePath());
        ASSERT_EQ(out["registers"].size(), static_cast<std::size_t>(c.registers));
        for (int r = 10; r < 10 + c.registers; ++r) {
            EXPECT_EQ(out["registers"][std::to_string(r)],
                      *sim->Register(static_cast<std::uint16_t>(r)))
                << r;
        }
        const json& p = out["parameters"];
        EXPECT_EQ(p["signal-source"], "PT100");
        EXPECT_EQ(p["unit"], "\u00B0C");
        EXPECT_EQ(p["decimals"], 1);
        EXPECT_EQ(p["zero-offset"], 2.5);
        EXPECT_EQ(p["lower-limit"], -50);
        EXPECT_EQ(p["upper-limit"], 150);
        EXPECT_EQ(p.contains("gain"), c.factory);
        if (c.factory) {
            EXPECT_EQ(p["full-output"], *sim->Register(23));
            EXPECT_EQ(p["gain"], 12.5);  // a number, as every value that is one
        }
        EXPECT_EQ(out["failed"], json::array());
        // Handshake, the reads, LinkEnd: every one on the trace, one line
        // each: UTC time, ms since the connection began, direction, bytes, meaning.
        std::ifstream in(trace);
        const std::regex format(
            R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z \+\d+\.\d{3} (TX|RX|--)( [0-9A-F]{2})* \| .+)");
        std::string line, text;
        while (std::getline(in, line)) {
            EXPECT_TRUE(std::regex_match(line, format)) << line;
            text += line + "\n";
        }
        for (const char* expected : {
                 " TX FF 8F FF FF FF FF 40 5F | connect request\n",
                 " RX FF F8 ",
                 " | connect accepted\n",
                 " TX 01 03 00 0F 00 01 B4 09 | read register 15 (Null Offset)\n",
                 " | read register 15 \u2192 25 = Null Offset 2.5 \u00B0C\n",
                 " TX FF BB FF FF FF FF F1 9B | link end\n",
             }) {
            EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
        }
        std::remove(trace.c_str());
        EXPECT_EQ(Count(*sim, 0x03), static_cast<std::size_t>(c.registers));

        // The table a person reads: names, shown values with units.
        const CliRun table = RunCli({"--port", sim->SlavePath(), "read"});
        ASSERT_EQ(table.status, 0) << table.err;
        EXPECT_NE(table.out.find("zero-offset    2.5 \u00B0C"), std::string::npos) << table.out;
        EXPECT_NE(table.out.find("lower-limit    -50 \u00B0C"), std::string::npos) << table.out;
    }
}

// Each write: the exit status, and the register it changed (0: none sent).
TEST(CorvexaCli, WriteAndTrimSendCheckedValuesOnly) {
    // Trims start from output words 6000 and 30000 (4-20 mA); a meter read
    // 4.1 and 19.8 mA, which moves them to 5847 and 30306.
    const std::vector<std::string> meter{"--zero-measured", "4.1", "--full-measured", "19.8"};
    auto with = [](std::vector<std::string> args, const char* more) {
        args.push_back(more);
        return args;
    };
    struct Case {
        std::vector<std::string> args;
        int status;
        std::uint16_t reg;
        std::uint16_t word;
        bool handshake;  // refused only once the device's values were known
        const char* says;
        std::string command = "write";
    } cases[] = {
        {{"zero-offset=12.5"}, 0, 15, 125, true, ""},
        {{"signal-source=K", "gain=25"}, 0, 18, 2, true, ""},
        {{"upper-limit=70000"}, 2, 0, 0, false, "upper-limit=70000 refused: out of range"},
        {{"colour=red"}, 2, 0, 0, false, "unknown parameter 'colour'"},
        {{"lower-limit=10", "zero-offset=-1.5"},
         2,
         0,
         0,
         true,
         "zero-offset=-1.5 refused: out of range; it takes 0.0 to 6553.5 °C at 1 decimal"},
        {{"zero-offset=abc"}, 2, 0, 0, false, "zero-offset=abc refused: not a number"},
        {{"lower-limit=200"}, 2, 0, 0, true, "lower-limit=200 refused: not below upper-limit 150"},
        {{"lower-limit=200", "--force"}, 0, 16, 200, true, ""},
        {meter, 0, 23, 30306, true, "", "trim"},
        {with(meter, "--dry-run"), 0, 0, 0, true, "", "trim"},
        {{"--zero-measured", "19.8", "--full-measured", "4.1"},
         2,
         0,
         0,
         false,
         "readings 19.8 and 4.1 refused: ",
         "trim"},
        {{"--zero-measured", "4,1", "--full-measured", "19.8"}, 2, 0, 0, false, "refused", "trim"},
        {{"--zero-measured", "4", "--full-measured", "4.001"},
         2,
         0,
         0,
         true,
         "a new word would fall outside 0 to 65535",
         "trim"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command + " " + c.args.front() + " " + c.args.back());
        auto sim = Device();
        sim->SetRegister(22, 6000);
        sim->SetRegister(23, 30000);
        const std::string trace = TempPath("-write-trace.txt");
        std::vector<std::string> args{"--port", sim->SlavePath(), "--json", "--trace",
                                      trace,    c.command};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = RunCli(args);
        std::ifstream in(trace);
        const std::string traced{std::istreambuf_iterator<char>(in),
                                 std::istreambuf_iterator<char>()};
        std::remove(trace.c_str());
        EXPECT_EQ(run.status, c.status) << run.err;
        const bool trim = c.command == "trim";
        const std::size_t writes = trim ? 2u : c.args.size() - (c.args.back() == "--force");
        EXPECT_EQ(Count(*sim, 0x06), c.reg ? writes : 0u);
        if (!c.handshake) {
            EXPECT_EQ(sim->FrameCount(), 0u);
        }
        if (c.status != 0) {
            EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
            // Refused once the device was heard: the trace says so with the traffic.
            if (c.handshake) {
                EXPECT_NE(traced.find(std::string(" -- | ") + c.says), std::string::npos) << traced;
            }
            continue;
        }
        const json out = json::parse(run.out);
        if (trim) {
            EXPECT_EQ(out["old"], json::parse(R"({"zero-output":6000,"full-output":30000})"));
            EXPECT_EQ(out["new"], json::parse(R"({"zero-output":5847,"full-output":30306})"));
            EXPECT_EQ(out["written"], c.reg != 0);
            if (c.reg) {
                EXPECT_EQ(sim->Register(22), 5847);
            }
        }
        if (c.reg) {
            EXPECT_EQ(sim->Register(c.reg), c.word);
        }
        if (trim) continue;
        EXPECT_EQ(out["results"].back()["ok"], true);
        EXPECT_EQ(out["results"].back()["attempts"], 1);
        EXPECT_EQ(out["results"].back()["word"], c.word);
    }
    // Written, then read: the new value shows.
    auto sim = Device();
    ASSERT_EQ(RunCli({"--port", sim->SlavePath(), "write", "zero-offset=12.5"}).status, 0);
    const CliRun read = RunCli({"--port", sim->SlavePath(), "--json", "read"});
    EXPECT_EQ(json::parse(read.out)["parameters"]["zero-offset"], 12.5);
}

TEST(CorvexaCli, FailuresSayWhatAndExitWithTheirCode) {
    // A device that falls silent after the handshake and the 8 reads: the
    // write goes out three times and is reported not confirmed. It runs
    // beside the table below, as both wait through real time-outs.
    auto fading = Device();
    std::thread silencer([&] {
        if (fading->WaitForHandled(10, 10s)) fading->SetSilent(true);
    });
    CliRun fadingWrite;
    std::thread fadingRun([&] {
        fadingWrite = RunCli(
            {"--port", fading->SlavePath(), "--json", "write", "gain=25", "upper-limit=100"});
    });

    auto busy = Device();
    serial::Serial holder(busy->SlavePath(), 9600, serial::Timeout::Total(50));
    auto silent = Device();
    silent->SetSilent(true);
    // Refuses to read or write register 17, once, at once.
    auto refusing = Device();
    corvexa::sim::FaultModes refuse;
    refuse.exceptionCode = 0x03;
    refuse.exceptionRegister = 17;
    refusing->SetFaults(refuse);
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{"--port", "/dev/corvexa-no-such-port", "read"},
         3,
         "no such port: /dev/corvexa-no-such-port"},
        {{"--port", busy->SlavePath(), "read"}, 3, "port busy: "},
        {{"--port", silent->SlavePath(), "read"}, 4, "did not answer the connect request"},
        {{"--port", refusing->SlavePath(), "read"},
         6,
         "the device refused register 17 (illegal data value (03))"},
        {{"--port", refusing->SlavePath(), "write", "upper-limit=100"},
         6,
         "the device refused upper-limit: illegal data value (03)"},
        {{"read"}, 2, "no port given"},
        {{"--port", "x", "sample", "middle"}, 2, "see corvexa-cli --help"},
        {{"frobnicate", "--port", "x"}, 2, "unknown command frobnicate; the commands: ports, read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        const CliRun run = RunCli(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    // Scripts get the same in JSON on standard output.
    const CliRun missing = RunCli({"--json", "--port", "/dev/corvexa-no-such-port", "read"});
    const json error = json::parse(missing.out);
    EXPECT_EQ(error["format"], "corvexa-error");
    EXPECT_EQ(error["error"], "port");
    // The silent device heard the connect request three times, then once at
    // each other rate of the probe, nothing else.
    EXPECT_EQ(silent->FrameCount(), 3u + 4u);
    for (const auto& f : silent->Frames()) EXPECT_EQ(f.bytes[0], 0xFF);
    // The refused read and write were each sent once: two sessions of
    // handshake, 8 reads and LinkEnd, and the write.
    EXPECT_EQ(refusing->FrameCount(), 2u * (2 + 8 + 1) + 1);

    fadingRun.join();
    silencer.join();
    const CliRun& run = fadingWrite;
    EXPECT_EQ(run.status, 5) << run.err;
    EXPECT_EQ(Count(*fading, 0x06), 3u);
    const json results = json::parse(run.out)["results"];
    EXPECT_EQ(results[0]["attempts"], 3);
    EXPECT_EQ(results[0]["ok"], false);
    EXPECT_EQ(results[1]["attempts"], 0);
    EXPECT_NE(run.err.find("was not confirmed"), std::string::npos) << run.err;
}

TEST(CorvexaCli, BackupThenRestoreBringsTheDeviceBack) {
    auto sim = Device();
    const std::string file = TempPath("-backup.json");
    const std::string port = sim->SlavePath();
    ASSERT_EQ(RunCli({"--port", port, "backup", file}).status, 0);
    std::ifstream in(file);
    const json saved = json::parse(in);
    EXPECT_EQ(saved["registers"]["15"], 25);
    EXPECT_EQ(saved["port"], port);

    const std::uint16_t original22 = *sim->Register(22);
    sim->SetRegister(15, 99);
    sim->SetRegister(18, 5);
    sim->SetRegister(22, 1234);
    struct Step {
        std::vector<std::string> flags;
        std::size_t changes;
        std::size_t writes;
        std::uint16_t reg15, reg22;
    } steps[] = {
        {{"--dry-run"}, 2, 0, 99, 1234},
        {{}, 2, 2, 25, 1234},
        {{"--with-calibration"}, 1, 1, 25, original22},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.flags.empty() ? "plain" : s.flags.front());
        sim->ClearFrames();
        std::vector<std::string> args{"--port", port, "--json", "restore", file};
        args.insert(args.end(), s.flags.begin(), s.flags.end());
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Count(*sim, 0x06), s.writes);
        EXPECT_EQ(sim->Register(15), s.reg15);
        EXPECT_EQ(sim->Register(22), s.reg22);
        EXPECT_EQ(json::parse(run.out)["changes"].size(), s.changes);
    }
    EXPECT_EQ(sim->Register(18), saved["registers"]["18"]);
    std::remove(file.c_str());
}

TEST(CorvexaCli, SampleTakesOnlyItsOwnReadsAndNoSpoiltOne) {
    auto sim = Device();
    corvexa::sim::FaultModes hostile;
    hostile.strayPrefix = {0xFF, 0xAA};  // a read-all would bring registers 10..23
    hostile.strayRegister = 20;
    hostile.flipEvery = 5;
    sim->SetFaults(hostile);
    sim->SetWander(false);
    sim->SetRegister(20, 1234);
    const CliRun run =
        RunCli({"--port", sim->SlavePath(), "--json", "sample", "zero", "--count", "8"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    int readings = 0;
    for (std::string line; std::getline(lines, line); ++readings) {
        const json reading = json::parse(line);
        EXPECT_EQ(reading["register"], 20);
        EXPECT_EQ(reading["value"], 1234) << line;
    }
    EXPECT_EQ(readings, 8);
}

TEST(CorvexaCli, SampleGivesOneReadingPerPoll) {
    auto sim = Device();
    sim->SetRegister(21, 4321);
    const CliRun run =
        RunCli({"--port", sim->SlavePath(), "--json", "sample", "full", "--count", "3"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 3u);
    long previous = -1;
    for (const std::string& line : lines) {
        const json reading = json::parse(line);
        EXPECT_EQ(reading["register"], 21);
        EXPECT_EQ(reading["value"], 4321);
        // Three readings are too few to call the sample settled.
        EXPECT_EQ(reading["stable"], false);
        EXPECT_GT(reading["time_ms"].get<long>(), previous);
        previous = reading["time_ms"];
    }
}

TEST(CorvexaCli, SeveralPortsWorkAtOnce) {
    auto a = Device();
    auto b = Device();
    b->SetRegister(15, 77);
    const CliRun run =
        RunCli({"--port", a->SlavePath(), "--port", b->SlavePath(), "--json", "--factory", "read"});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 2u);
    for (const std::string& line : lines) {
        const json out = json::parse(line);
        EXPECT_EQ(out["registers"]["15"], out["port"] == b->SlavePath() ? 77 : 25);
    }
    // Both conversations overlap: each device heard its first request before
    // the other heard its last.
    const auto fa = a->Frames();
    const auto fb = b->Frames();
    ASSERT_FALSE(fa.empty());
    ASSERT_FALSE(fb.empty());
    EXPECT_LT(fa.front().at, fb.back().at);
    EXPECT_LT(fb.front().at, fa.back().at);
}

TEST(CorvexaCli, PortsSaysWhetherEachPortIsFree) {
    auto free = Device();
    auto held = Device();
    serial::Serial holder(held->SlavePath(), 9600, serial::Timeout::Total(50));
    const CliRun run =
        RunCli({"--port", free->SlavePath(), "--port", held->SlavePath(), "--json", "ports"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::map<std::string, std::string> states;
    for (const std::string& line : Lines(run.out)) {
        const json port = json::parse(line);
        states[port["path"]] = port["state"];
    }
    EXPECT_EQ(states[free->SlavePath()], "free");
    EXPECT_EQ(states[held->SlavePath()], "busy");
    EXPECT_EQ(free->FrameCount(), 0u);
}

// The completion the package installs offers the commands, each one's
// options and the history's own commands, as far as the word is typed.
TEST(CorvexaCli, BashCompletionOffersTheCommandsAndTheirOptions) {
    const struct {
        const char* words;
        const char* offered;
    } cases[] = {
        {"corvexa-cli wr", "write"},        {"corvexa-cli --port x commission --veri", "--verify"},
        {"corvexa-cli history sh", "show"}, {"corvexa-cli history export --c", "--csv"},
        {"corvexa-cli read --fo", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words);
        const CliRun run =
            RunShell(std::string("source <(\"$0\" --bash-completion); COMP_WORDS=(") + c.words +
                     "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _corvexa_cli; "
                     "echo \"${COMPREPLY[*]}\"");
        EXPECT_EQ(run.out, std::string(c.offered) + "\n") << run.err;
    }
}

TEST(CorvexaCli, EveryCommandHasHelpAndTheProgramItsVersion) {
    const CliRun version = RunCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "corvexa-cli " CORVEXA_VERSION "\n");
    for (const char* command :
         {"ports", "read", "write", "sample", "trim", "verify", "backup", "restore"}) {
        SCOPED_TRACE(command);
        const CliRun run = RunCli({command, "--help"});
        EXPECT_EQ(run.status, 0);
        EXPECT_NE(run.out.find(command), std::string::npos);
        EXPECT_NE(run.out.find("--help"), std::string::npos);
    }
}

}  // namespace
}  // namespace cli::testing
