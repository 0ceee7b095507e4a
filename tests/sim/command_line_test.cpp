#include "sim/command_line.h"

#include <gtest/gtest.h>

namespace corvexa::sim {
namespace {

ToolOptions Parse(const std::vector<std::string>& args) {
    auto result = ParseCommandLine(args);
    if (auto* error = std::get_if<std::string>(&result)) {
        ADD_FAILURE() << *error;
        return {};
    }
    return std::get<ToolOptions>(result);
}

TEST(CommandLine, NoOptionsMeansAWellBehavedPacedDevice) {
    const ToolOptions o = Parse({});
    EXPECT_TRUE(o.simulator.pacing);
    EXPECT_TRUE(o.simulator.wander);
    EXPECT_FALSE(o.simulator.faults.silent);
    EXPECT_FALSE(o.simulator.faults.exceptionCode);
    EXPECT_TRUE(o.registers.empty());
    EXPECT_FALSE(o.help);
    EXPECT_FALSE(o.version);
    EXPECT_TRUE(Parse({"--version"}).version);
}

TEST(CommandLine, EveryFaultOptionLands) {
    const ToolOptions o =
        Parse({"--silent", "--delay", "250", "--split", "3", "--pause", "20", "--glue",
               "--corrupt-crc", "--exception", "0x04", "--drop-every", "5", "--no-pacing",
               "--no-wander", "--split-at", "2,5", "--trace"});
    const FaultModes& f = o.simulator.faults;
    EXPECT_TRUE(f.silent);
    EXPECT_EQ(f.replyDelay.count(), 250);
    EXPECT_EQ(f.splitPieces, 3u);
    EXPECT_EQ(f.splitOffsets, (std::vector<std::size_t>{2, 5}));
    EXPECT_EQ(f.splitPause.count(), 20);
    EXPECT_TRUE(f.glue);
    EXPECT_TRUE(f.corruptCrc);
    EXPECT_EQ(f.exceptionCode, 4);
    EXPECT_EQ(f.dropEvery, 5u);
    EXPECT_FALSE(o.simulator.pacing);
    EXPECT_FALSE(o.simulator.wander);
    EXPECT_TRUE(o.trace);
}

TEST(CommandLine, RegistersTakeDecimalHexAndNegativeValues) {
    const ToolOptions o = Parse({"--reg", "16=-10", "--reg", "10=0x0E", "--reg", "23=65535"});
    using Pair = std::pair<std::uint16_t, std::uint16_t>;
    EXPECT_EQ(o.registers, (std::vector<Pair>{{16, 0xFFF6}, {10, 14}, {23, 0xFFFF}}));
}

struct BadCase {
    std::vector<std::string> args;
    const char* message;
};

void PrintTo(const BadCase& c, std::ostream* os) {
    *os << c.message;
}

class BadCommandLine : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadCommandLine, IsRefusedWithItsReason) {
    auto result = ParseCommandLine(GetParam().args);
    ASSERT_TRUE(std::holds_alternative<std::string>(result));
    EXPECT_EQ(std::get<std::string>(result), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, BadCommandLine,
    ::testing::Values(BadCase{{"--fast"}, "unknown option: --fast"},
                      BadCase{{"--delay"}, "missing value for --delay"},
                      BadCase{{"--delay", "soon"}, "bad value for --delay: soon"},
                      BadCase{{"--delay", "-5"}, "bad value for --delay: -5"},
                      BadCase{{"--delay", "12ms"}, "bad value for --delay: 12ms"},
                      BadCase{{"--split", "0"}, "bad value for --split: 0"},
                      BadCase{{"--exception", "256"}, "bad value for --exception: 256"},
                      BadCase{{"--split-at", "2,,5"}, "bad value for --split-at: 2,,5"},
                      BadCase{{"--reg", "9=1"}, "bad value for --reg: 9=1"},
                      BadCase{{"--reg", "24=1"}, "bad value for --reg: 24=1"},
                      BadCase{{"--reg", "16"}, "bad value for --reg: 16"},
                      BadCase{{"--reg", "16=65536"}, "bad value for --reg: 16=65536"},
                      BadCase{{"--reg", "16=-32769"}, "bad value for --reg: 16=-32769"},
                      BadCase{{"--reg", "16=--1"}, "bad value for --reg: 16=--1"}));

}  // namespace
}  // namespace corvexa::sim
