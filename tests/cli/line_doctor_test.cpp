// The line doctor on a real pty: what the line did while the handshake got
// no answer, and the probe at the other rates.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "cli/device_session.h"
#include "cli/port_runner.h"
#include "cli_process.h"
#include "sim/simulated_transmitter.h"

namespace cli::testing {
namespace {

using namespace std::chrono_literals;
using corvexa::sim::SimulatedTransmitter;
using protocol::EchoMode;
using protocol::LineSymptom;

struct DoctorCase {
    const char* name;
    bool silent, adapterEcho;
    int deviceBaud;
    EchoMode echo;
    LineSymptom symptom;
    std::optional<int> answeredAt;
    const char* words;
    friend void PrintTo(const DoctorCase& c, std::ostream* os) { *os << c.name; }
};

class LineDoctor : public ::testing::TestWithParam<DoctorCase> {};

TEST_P(LineDoctor, SaysWhatTheLineDidAndWhereTheDeviceAnswered) {
    const DoctorCase& c = GetParam();
    SimulatedTransmitter::Options options;
    options.baud = c.deviceBaud;
    options.faults.silent = c.silent;
    options.faults.adapterEcho = c.adapterEcho;
    SimulatedTransmitter sim(options);
    SessionLine line;
    line.echo = c.echo;
    line.timing.attempt = 250ms;
    line.timing.guard = 100ms;
    DeviceSession session(sim.SlavePath(), false, nullptr, line);
    bool portProblem = false;
    ASSERT_FALSE(session.Open(portProblem));
    ASSERT_FALSE(session.Connect());

    const protocol::LineDiagnosis d = session.DiagnoseAndProbe();
    EXPECT_EQ(c.symptom, d.symptom);
    EXPECT_EQ(c.answeredAt, d.answeredAt);
    EXPECT_EQ(c.answeredAt ? 2u : 4u, d.probed.size());  // nearest first: 4800, 19200
    EXPECT_EQ(c.symptom == LineSymptom::NoReply, !d.firstBytes.empty());
    const std::string text = protocol::DiagnosisText(d);
    EXPECT_NE(std::string::npos, text.find(c.words)) << text;
    // The probe sends nothing but connect requests.
    for (const auto& f : sim.Frames()) EXPECT_EQ(0xFF, f.bytes[0]);
    const auto json = nlohmann::json::parse(DiagnosisJson(sim.SlavePath(), d));
    EXPECT_EQ(protocol::SymptomName(c.symptom), json["diagnosis"]["heard"]);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineDoctor,
    ::testing::Values(
        DoctorCase{"Nothing", true, false, 9600, EchoMode::Auto, LineSymptom::Silent, std::nullopt,
                   "nothing came back at 9600 baud: check the device's power"},
        DoctorCase{"OwnEchoOnly", true, true, 9600, EchoMode::Auto, LineSymptom::OwnEcho,
                   std::nullopt, "only our own requests came back"},
        // Told there is no echo, the copies of our request still say so.
        DoctorCase{"OwnEchoWithEchoOff", true, true, 9600, EchoMode::Off, LineSymptom::OwnEcho,
                   std::nullopt, "the adapter echoes what it sends"},
        DoctorCase{"WrongRate", false, false, 19200, EchoMode::Auto, LineSymptom::NoReply, 19200,
                   "form no reply (FE F8 FE FE FE FE"}),
    [](const auto& info) { return std::string(info.param.name); });

// The one test on the device's real timing: the probe's finding in --json,
// and the rate it names reaches the device.
TEST(LineDoctorCli, TheRateFoundReachesTheDevice) {
    SimulatedTransmitter::Options options;
    options.baud = 19200;
    SimulatedTransmitter sim(options);
    const CliRun lost = RunCli({"--port", sim.SlavePath(), "--json", "read"});
    EXPECT_EQ(4, lost.status);
    EXPECT_NE(std::string::npos, lost.err.find("it answered at 19200 baud: use --baud 19200"));
    const auto json = nlohmann::json::parse(lost.out);
    EXPECT_EQ(19200, json["diagnosis"]["answered_at"]);
    EXPECT_EQ("no-reply", json["diagnosis"]["heard"]);

    const CliRun found = RunCli({"--port", sim.SlavePath(), "--baud", "19200", "read"});
    EXPECT_EQ(0, found.status) << found.err;
    EXPECT_NE(std::string::npos, found.out.find("signal-source"));
}

}  // namespace
}  // namespace cli::testing
