#include "sim/reply_builder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/sim/slave_port.h"

namespace corvexa::sim {
namespace {

using testing::Hex;
using testing::ToHex;

protocol::Frame ToFrame(const std::string& hex) {
    const auto bytes = Hex(hex);
    protocol::Frame frame{};
    std::copy(bytes.begin(), bytes.end(), frame.begin());
    return frame;
}

struct GoldenCase {
    const char* name;
    const char* request;
    const char* reply;  // empty: no answer
};

void PrintTo(const GoldenCase& c, std::ostream* os) {
    *os << c.name;
}

// Replies worked out by hand (CRC-16/MODBUS computed outside this project)
// against the factory registers, so a CRC bug shared with the frame code
// cannot pass unnoticed.
const GoldenCase kGolden[] = {
    {"Connect", "FF 8F FF FF FF FF 40 5F", "FF F8 FF FF FF FF B4 54"},
    {"LinkStart", "FF AA FF FF FF FF 0D 98", "FF AA FF FF FF FF 0D 98"},
    {"LinkEnd", "FF BB FF FF FF FF F1 9B", "FF BB FF FF FF FF F1 9B"},
    {"ReadSignalSource", "01 03 00 0A 00 01 A4 08", "01 03 02 00 00 B8 44"},
    {"ReadLowerLimitSigned", "01 03 00 10 00 01 85 CF", "01 03 02 FF CE 78 20"},
    {"ReadUpperLimit", "01 03 00 11 00 01 D4 0F", "01 03 02 00 96 38 2A"},
    {"ReadTwoOutputs", "01 03 00 16 00 02 25 CF", "01 03 04 19 00 7D 00 DC 3F"},
    {"WriteEchoes", "01 06 00 0F 00 7D 79 E8", "01 06 00 0F 00 7D 79 E8"},
    {"ReadBelowMapIsException02", "01 03 00 09 00 01 54 08", "01 83 02 C0 F1"},
    {"ReadAboveMapIsException02", "01 03 00 18 00 01 04 0D", "01 83 02 C0 F1"},
    {"WriteAboveMapIsException02", "01 06 00 18 00 05 C9 CE", "01 86 02 C3 A1"},
    {"ReadOfZeroRegistersIsException03", "01 03 00 0A 00 00 65 C8", "01 83 03 01 31"},
    {"UnknownFunctionIsException01", "01 04 00 0A 00 01 11 C8", "01 84 01 82 C0"},
    {"UnknownVendorCommandIsIgnored", "FF 01 FF FF FF FF 00 00", ""},
};

class GoldenReply : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenReply, MatchesHandWorkedBytes) {
    RegisterBank bank;
    EXPECT_EQ(ToHex(BuildReply(ToFrame(GetParam().request), bank)), GetParam().reply);
}

INSTANTIATE_TEST_SUITE_P(Requests, GoldenReply, ::testing::ValuesIn(kGolden),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BuildReply, WriteStoresTheValueAndARefusedWriteDoesNot) {
    RegisterBank bank;
    // 01 06 00 10 FF F6: lower limit -10.
    BuildReply(ToFrame("01 06 00 10 FF F6 49 B9"), bank);
    EXPECT_EQ(bank.Get(16), 0xFFF6);
    EXPECT_EQ(ToHex(BuildReply(ToFrame("01 03 00 10 00 01 85 CF"), bank)), "01 03 02 FF F6 79 F2");

    BuildReply(ToFrame("01 06 00 0F 00 7D 79 E8"), bank, std::uint8_t{4});
    EXPECT_EQ(bank.Get(15), 0) << "a refused write must leave the register alone";
}

TEST(BuildReply, ForcedExceptionRefusesModbusButNotVendorRequests) {
    RegisterBank bank;
    EXPECT_EQ(ToHex(BuildReply(ToFrame("01 03 00 0A 00 01 A4 08"), bank, std::uint8_t{4})),
              "01 83 04 40 F3");
    EXPECT_EQ(ToHex(BuildReply(ToFrame("FF 8F FF FF FF FF 40 5F"), bank, std::uint8_t{4})),
              "FF F8 FF FF FF FF B4 54");
}

TEST(BuildReply, ReadOfWholeMapReturnsEveryRegisterInOrder) {
    RegisterBank bank;
    bank.SetWander(false);
    protocol::Frame request{};
    protocol::BuildReadRequest(request.data(), 10, 14);
    const auto reply = BuildReply(request, bank);
    ASSERT_EQ(reply.size(), 3u + 28u + 2u);
    EXPECT_EQ(reply[2], 28);
    const auto defaults = RegisterBank::Defaults();
    for (std::size_t i = 0; i < defaults.size(); ++i) {
        EXPECT_EQ(reply[3 + 2 * i] << 8 | reply[4 + 2 * i], defaults[i]) << "register " << 10 + i;
    }
    // A range that runs past 23 is refused as a whole.
    protocol::BuildReadRequest(request.data(), 20, 5);
    EXPECT_EQ(ToHex(BuildReply(request, bank)), "01 83 02 C0 F1");
}

}  // namespace
}  // namespace corvexa::sim
