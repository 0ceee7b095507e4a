#include "sim/request_scanner.h"

#include <gtest/gtest.h>

#include "tests/sim/slave_port.h"

namespace corvexa::sim {
namespace {

using testing::Bytes;
using testing::Hex;
using testing::ToHex;

struct ScanCase {
    const char* name;
    std::vector<const char*> chunks;  // as they arrive
    std::vector<const char*> frames;  // what must come out
    std::size_t skipped;
};

void PrintTo(const ScanCase& c, std::ostream* os) {
    *os << c.name;
}

const ScanCase kScans[] = {
    {"OneFrame", {"01 03 00 0A 00 01 A4 08"}, {"01 03 00 0A 00 01 A4 08"}, 0},
    {"TwoFramesInOneChunk",
     {"FF 8F FF FF FF FF 40 5F 01 03 00 0A 00 01 A4 08"},
     {"FF 8F FF FF FF FF 40 5F", "01 03 00 0A 00 01 A4 08"},
     0},
    {"FrameTornAcrossChunks", {"01 03 00", "0A 00 01", "A4 08"}, {"01 03 00 0A 00 01 A4 08"}, 0},
    {"LeadingGarbage", {"00 55 AA 01 03 00 0A 00 01 A4 08"}, {"01 03 00 0A 00 01 A4 08"}, 3},
    // A stray 01 looks like a start; the CRC throws it out.
    {"FalseStartByte", {"01 01 03 00 0A 00 01 A4 08"}, {"01 03 00 0A 00 01 A4 08"}, 1},
    {"TornFrameThenGoodOne",
     {"01 03 00 0A", "FF BB FF FF FF FF F1 9B"},
     {"FF BB FF FF FF FF F1 9B"},
     4},
    {"BadCrcIsSkipped", {"01 03 00 0A 00 01 A4 09"}, {}, 0},
    {"OtherStationIsSkipped", {"02 03 00 0A 00 01 A4 3B"}, {}, 0},
};

class Scanning : public ::testing::TestWithParam<ScanCase> {};

TEST_P(Scanning, FindsRequestsAndSkipsGarbage) {
    RequestScanner scanner;
    std::vector<std::string> found;
    for (const char* chunk : GetParam().chunks) {
        const Bytes bytes = Hex(chunk);
        scanner.Feed(bytes.data(), bytes.size());
        while (auto frame = scanner.Next()) {
            found.push_back(ToHex(Bytes(frame->begin(), frame->end())));
        }
    }
    EXPECT_EQ(found, std::vector<std::string>(GetParam().frames.begin(), GetParam().frames.end()));
    if (!GetParam().frames.empty()) {
        EXPECT_EQ(scanner.SkippedBytes(), GetParam().skipped);
        EXPECT_EQ(scanner.Pending(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, Scanning, ::testing::ValuesIn(kScans),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RequestScanner, BadFrameIsSkippedOnceMoreBytesArrive) {
    RequestScanner scanner;
    const Bytes bad = Hex("01 03 00 0A 00 01 A4 09");
    scanner.Feed(bad.data(), bad.size());
    EXPECT_FALSE(scanner.Next());
    const Bytes good = Hex("01 06 00 0F 00 7D 79 E8");
    scanner.Feed(good.data(), good.size());
    auto frame = scanner.Next();
    ASSERT_TRUE(frame);
    EXPECT_EQ(ToHex(Bytes(frame->begin(), frame->end())), "01 06 00 0F 00 7D 79 E8");
    EXPECT_EQ(scanner.SkippedBytes(), 8u);
}

TEST(RequestScanner, LongStreamStaysInStep) {
    RequestScanner scanner;
    protocol::Frame request{};
    std::size_t found = 0;
    for (std::uint16_t reg = 0; reg < 2000; ++reg) {
        protocol::BuildReadRequest(request.data(), reg, 1);
        const Bytes noise{0x00, 0x13};
        scanner.Feed(noise.data(), noise.size());
        scanner.Feed(request.data(), request.size());
        while (auto frame = scanner.Next()) {
            EXPECT_EQ(*frame, request);
            ++found;
        }
    }
    EXPECT_EQ(found, 2000u);
    EXPECT_EQ(scanner.SkippedBytes(), 4000u);
}

}  // namespace
}  // namespace corvexa::sim
