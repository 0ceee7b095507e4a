#include "sim/fault_modes.h"

#include <gtest/gtest.h>

#include "sim/reply_builder.h"
#include "tests/sim/slave_port.h"

namespace corvexa::sim {
namespace {

using testing::Bytes;
using testing::Hex;
using testing::ToHex;

struct SplitCase {
    const char* name;
    std::vector<std::size_t> offsets;
    std::size_t pieces;
    std::vector<const char*> expected;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
    *os << c.name;
}

// The 7-byte read reply 01 03 02 00 96 38 2A cut in various ways.
const SplitCase kSplits[] = {
    {"NoSplit", {}, 0, {"01 03 02 00 96 38 2A"}},
    {"OnePieceIsWhole", {}, 1, {"01 03 02 00 96 38 2A"}},
    {"AfterHeader", {2}, 0, {"01 03", "02 00 96 38 2A"}},
    {"TwoCuts", {2, 5}, 0, {"01 03", "02 00 96", "38 2A"}},
    {"UnsortedAndRepeatedCuts", {5, 2, 5}, 0, {"01 03", "02 00 96", "38 2A"}},
    {"CutsOutsideIgnored", {0, 7, 40}, 0, {"01 03 02 00 96 38 2A"}},
    {"OffsetsWinOverPieces", {3}, 4, {"01 03 02", "00 96 38 2A"}},
    {"ThreePieces", {}, 3, {"01 03", "02 00", "96 38 2A"}},
    {"MorePiecesThanBytes", {}, 20, {"01", "03", "02", "00", "96", "38", "2A"}},
};

class Splitting : public ::testing::TestWithParam<SplitCase> {};

TEST_P(Splitting, CutsAtTheRightPlaces) {
    FaultModes faults;
    faults.splitOffsets = GetParam().offsets;
    faults.splitPieces = GetParam().pieces;
    std::vector<std::string> got;
    for (const auto& piece : SplitReply(Hex("01 03 02 00 96 38 2A"), faults)) {
        got.push_back(ToHex(piece));
    }
    EXPECT_EQ(got,
              std::vector<std::string>(GetParam().expected.begin(), GetParam().expected.end()));
}

INSTANTIATE_TEST_SUITE_P(Replies, Splitting, ::testing::ValuesIn(kSplits),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CorruptCrc, SpoilsOnlyTheCrcAndNeverYieldsAGoodOne) {
    // Every possible CRC pair: inverting both bytes can never give the right
    // one back, whatever the payload.
    for (unsigned value = 0; value < 0x10000; value += 0x0101) {
        Bytes reply{0x01, 0x03, 0x02, static_cast<std::uint8_t>(value >> 8),
                    static_cast<std::uint8_t>(value)};
        AppendCrc(reply);
        Bytes bad = reply;
        CorruptCrc(bad);
        ASSERT_EQ(bad.size(), reply.size());
        EXPECT_TRUE(std::equal(bad.begin(), bad.end() - 2, reply.begin()));
        EXPECT_NE(bad[5], reply[5]);
        EXPECT_NE(bad[6], reply[6]);
    }
}

struct ReplyFaultCase {
    const char* name;
    const char* request;
    const char* reply;
    const char* sent;  // without the CRC where `recrc` is set
    bool recrc;
    int delayMs;
};

void PrintTo(const ReplyFaultCase& c, std::ostream* os) {
    *os << c.name;
}

// Faults: register 16 slow by 1100 ms, echoes altered, 01 06 before every reply.
const ReplyFaultCase kReplyFaults[] = {
    {"EchoValueFlippedCrcRight", "01 06 00 0F 00 7D 79 E8", "01 06 00 0F 00 7D 79 E8",
     "01 06 01 06 00 0F 00 7C", true, 0},
    {"ReadOfSlowRegister", "01 03 00 10 00 01 85 CF", "01 03 02 00 05 78 47",
     "01 06 01 03 02 00 05 78 47", false, 1100},
    {"WriteOfSlowRegister", "01 06 00 10 00 05 48 0C", "01 06 00 10 00 05 48 0C",
     "01 06 01 06 00 10 00 04", true, 1100},
    {"OtherRegisterKeepsItsPace", "01 03 00 11 00 01 D4 0F", "01 03 02 00 07 F9 86",
     "01 06 01 03 02 00 07 F9 86", false, 0},
};

class ReplyFaults : public ::testing::TestWithParam<ReplyFaultCase> {};

TEST_P(ReplyFaults, AlterTheReplyAndDelayOnlyTheSlowRegister) {
    FaultModes faults;
    faults.slowRegister = 16;
    faults.slowDelay = std::chrono::milliseconds(1100);
    faults.alterEcho = true;
    faults.strayPrefix = {0x01, 0x06};
    Bytes reply = Hex(GetParam().reply);
    const auto delay = ApplyReplyFaults(Hex(GetParam().request), reply, faults);
    Bytes expected = Hex(GetParam().sent);
    if (GetParam().recrc) {
        // The CRC of the altered echo, after the two stray bytes.
        Bytes echo(expected.begin() + 2, expected.end());
        AppendCrc(echo);
        expected.resize(2);
        expected.insert(expected.end(), echo.begin(), echo.end());
    }
    EXPECT_EQ(ToHex(expected), ToHex(reply));
    EXPECT_EQ(GetParam().delayMs, delay.count());
}

INSTANTIATE_TEST_SUITE_P(Requests, ReplyFaults, ::testing::ValuesIn(kReplyFaults),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvexa::sim
