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

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

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
  EXPECT_EQ(got, std::vector<std::string>(GetParam().expected.begin(), GetParam().expected.end()));
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

}  // namespace
}  // namespace corvexa::sim
