#include <gtest/gtest.h>

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <future>
#include <memory>
#include <sstream>

#include "cli_process.h"
#include "protocol/frames.h"
#include "sim/simulated_transmitter.h"

namespace cli::testing {
namespace {

using corvexa::sim::SimulatedTransmitter;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::unique_ptr<SimulatedTransmitter> Device() {
    SimulatedTransmitter::Options options;
    options.wander = false;
    return std::make_unique<SimulatedTransmitter>(options);
}

struct Line {
    fs::path data = fs::temp_directory_path() / ("corvexa-commission-" + std::to_string(getpid()));
    fs::path templ = data / "template.json";
    Line() {
        fs::remove_all(data);
        fs::create_directories(data);
        // The template: a device with zero offset 2.5 and upper limit 200.
        auto model = Device();
        model->SetRegister(15, 25);
        model->SetRegister(17, 200);
        EXPECT_EQ(0, RunCli({"--port", model->SlavePath(), "backup", templ.string()}).status);
    }
    ~Line() { fs::remove_all(data); }
    std::string Run(const std::string& input, const std::string& ports,
                    const std::string& options = "") const {
        return "printf '" + input + "' | XDG_DATA_HOME=" + data.string() + " \"$0\" " + ports +
               " --technician Ana commission --template " + templ.string() + options;
    }
};

// Three stations at once; one whose device never answers for register 15
// fails with its reason (nothing is written to a unit not read whole) and
// the others pass; every unit is recorded.
TEST(CorvexaCliCommission, ThreeStationsInParallelEachUnitWithItsOutcome) {
    const Line line;
    std::unique_ptr<SimulatedTransmitter> sims[] = {Device(), Device(), Device()};
    corvexa::sim::FaultModes deaf;
    deaf.ignoreRegister = 15;
    sims[1]->SetFaults(deaf);
    std::string input, ports;
    for (int i = 0; i < 3; ++i) {
        input +=
            sims[i]->SlavePath() + " TT-" + std::to_string(i) + " SN" + std::to_string(i) + "\\n";
        ports += " --port " + sims[i]->SlavePath();
    }
    const CliRun run = RunShell(line.Run(input, ports));
    EXPECT_EQ(4, run.status) << run.out << run.err;
    for (int i : {0, 2}) {
        EXPECT_NE(std::string::npos,
                  run.out.find(sims[i]->SlavePath() + "  TT-" + std::to_string(i) + "  SN" +
                               std::to_string(i) + "  pass  (2 written"))
            << run.out;
        EXPECT_EQ(25, sims[i]->Register(15));
        EXPECT_EQ(200, sims[i]->Register(17));
    }
    EXPECT_NE(std::string::npos,
              run.out.find(sims[1]->SlavePath() +
                           "  TT-1  SN1  FAIL: no answer: register 15 did not answer; nothing "
                           "was written"))
        << run.out;
    EXPECT_NE(std::string::npos, run.out.find("2 passed, 1 failed (1 no answer)")) << run.out;
    const CliRun list = RunShell("XDG_DATA_HOME=" + line.data.string() + " \"$0\" history list");
    EXPECT_EQ(4u, Lines(list.out).size()) << list.out;  // a head and three sessions
}

// A unit taken away and another put in its place: the station notices the
// first is gone and commissions the second.
TEST(CorvexaCliCommission, TheNextUnitOnTheStationIsCommissionedAfterTheFirstIsGone) {
    const Line line;
    auto sim = Device();
    const std::string port = sim->SlavePath();
    auto run = std::async(std::launch::async, [&] {
        return RunShell(
            line.Run(port + " TT-1 SN1\\n" + port + " TT-2 SN2\\n", "--json --port " + port));
    });
    const protocol::Frame linkEnd = protocol::VendorFrame(protocol::VendorCommand::LinkEnd);
    const auto ended = [&] {
        for (const auto& f : sim->Frames())
            if (f.bytes == linkEnd) return true;
        return false;
    };
    for (int i = 0; i < 200 && !ended(); ++i) std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(ended());
    // Gone: the station's probes go unanswered. Then the next unit, as
    // delivered, answers.
    sim->SetSilent(true);
    const std::size_t frames = sim->FrameCount();
    ASSERT_TRUE(sim->WaitForFrames(frames + 2, 10s));
    sim->SetRegister(15, 0);
    sim->SetRegister(17, 150);
    sim->SetSilent(false);

    const CliRun done = run.get();
    EXPECT_EQ(0, done.status) << done.out << done.err;
    const auto lines = Lines(done.out);
    ASSERT_EQ(3u, lines.size()) << done.out;
    EXPECT_NE(std::string::npos, lines[0].find(R"("tag":"TT-1","serial":"SN1","passed":true)"));
    EXPECT_NE(std::string::npos, lines[1].find(R"("tag":"TT-2","serial":"SN2","passed":true)"));
    EXPECT_NE(std::string::npos, lines[1].find(R"("written":2)"));
    EXPECT_NE(std::string::npos, lines[2].find(R"("passed":2,"failed":0)"));
}

// --verify: each unit's output at the test points, from the readings typed
// for its station; a unit out of tolerance fails with its largest error,
// one whose readings ran out is not verified, and every run is recorded.
TEST(CorvexaCliCommission, VerifyJudgesEachUnitByTheReadingsOfItsStation) {
    const Line line;
    const struct {
        const char* readings;  // at 0, 50 and 100 % of -50 to 200 °C
        const char* outcome;
    } stations[] = {
        {"4 12 20.008", "pass  (2 written, largest error 0.050 %"},
        {"4 12 20.5", "FAIL: out of tolerance: largest error 3.125 % of span"},
        {"4 12", "FAIL: not verified: 2 of 3 points read before the input ended"},
    };
    std::vector<std::unique_ptr<SimulatedTransmitter>> sims;
    std::string input, ports;
    for (std::size_t i = 0; i < std::size(stations); ++i) {
        sims.push_back(Device());
        const std::string port = sims.back()->SlavePath();
        input += port + " TT-" + std::to_string(i) + " SN" + std::to_string(i) + "\\n";
        std::istringstream readings(stations[i].readings);
        for (std::string r; readings >> r;) input += port + " " + r + "\\n";
        ports += " --port " + port;
    }
    const CliRun run = RunShell(line.Run(input, ports, " --verify --points 0,50,100"));
    // The first unit to fail gives the status: out of tolerance (7) or not
    // verified (2), whichever station finished first.
    EXPECT_TRUE(run.status == 7 || run.status == 2) << run.status << run.out << run.err;
    for (std::size_t i = 0; i < std::size(stations); ++i)
        EXPECT_NE(std::string::npos,
                  run.out.find(sims[i]->SlavePath() + "  TT-" + std::to_string(i) + "  SN" +
                               std::to_string(i) + "  " + stations[i].outcome))
            << run.out;
    EXPECT_NE(std::string::npos, run.out.find("1 passed, 2 failed")) << run.out;
    const CliRun shown = RunShell("XDG_DATA_HOME=" + line.data.string() + " \"$0\" history show 1");
    EXPECT_NE(std::string::npos, shown.out.find("as-left")) << shown.out;
}

// Ctrl-C in the middle of a unit: the unit is finished (written, read back,
// reported), LinkEnd goes out and the line stops.
TEST(CorvexaCliCommission, CtrlCFinishesTheUnitUnderWay) {
    const Line line;
    auto sim = Device();
    corvexa::sim::FaultModes slow;
    slow.slowRegister = 17;  // the write of 17 is still to come at the signal
    slow.slowDelay = 500ms;
    sim->SetFaults(slow);
    ::setenv("XDG_DATA_HOME", line.data.c_str(), 1);
    const CliRun run = RunCli({"--port", sim->SlavePath(), "--technician", "Ana", "commission",
                               "--template", line.templ.string(), "--serial-from", "1"},
                              [&](pid_t pid) {
                                  // Handshake and the 14 reads; the 17th is the write of 15.
                                  if (sim->WaitForFrames(17, 20s)) ::kill(pid, SIGINT);
                              });
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(130, run.status) << run.out << run.err;
    EXPECT_NE(std::string::npos, run.out.find("  1  1  pass  (2 written")) << run.out;
    EXPECT_EQ(200, sim->Register(17));
    const auto frames = sim->Frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back().bytes, protocol::VendorFrame(protocol::VendorCommand::LinkEnd));
}

}  // namespace
}  // namespace cli::testing
