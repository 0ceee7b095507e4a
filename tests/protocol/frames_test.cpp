#include "protocol/frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace protocol {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const Frame& frame) {
    return Bytes(frame.begin(), frame.end());
}

TEST(Crc16, KnownCheckValues) {
    const std::string digits = "123456789";
    EXPECT_EQ(0x4B37, Crc16(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()));
    EXPECT_EQ(0xFFFF, Crc16(nullptr, 0));
}

TEST(Crc16, CoversMoreThan255Bytes) {
    // An 8-bit length would wrap to 1 byte here.
    const Bytes data(256, 0x5A);
    EXPECT_NE(Crc16(data.data(), 256), Crc16(data.data(), 0));
    EXPECT_NE(Crc16(data.data(), 256), Crc16(data.data(), 1));
}

struct GoldenFrame {
    const char* name;
    Frame frame;
    Bytes wire;
    friend void PrintTo(const GoldenFrame& c, std::ostream* os) { *os << c.name; }
};

class GoldenFrames : public ::testing::TestWithParam<GoldenFrame> {};

TEST_P(GoldenFrames, MatchWireBytes) {
    EXPECT_EQ(GetParam().wire, ToBytes(GetParam().frame));
}

INSTANTIATE_TEST_SUITE_P(
    Requests, GoldenFrames,
    ::testing::Values(GoldenFrame{"ReadRegister10",
                                  ReadRequest(10),
                                  {0x01, 0x03, 0x00, 0x0A, 0x00, 0x01, 0xA4, 0x08}},
                      GoldenFrame{"ReadRegister23",
                                  ReadRequest(23),
                                  {0x01, 0x03, 0x00, 0x17, 0x00, 0x01, 0x34, 0x0E}},
                      GoldenFrame{"WriteFFF6To15",
                                  WriteRequest(15, 0xFFF6),
                                  {0x01, 0x06, 0x00, 0x0F, 0xFF, 0xF6, 0x78, 0x7F}},
                      GoldenFrame{"Write125To15",
                                  WriteRequest(15, 125),
                                  {0x01, 0x06, 0x00, 0x0F, 0x00, 0x7D, 0x79, 0xE8}},
                      GoldenFrame{"ConnectRequest",
                                  VendorFrame(VendorCommand::ConnectRequest),
                                  {0xFF, 0x8F, 0xFF, 0xFF, 0xFF, 0xFF, 0x40, 0x5F}},
                      GoldenFrame{"LinkStart",
                                  VendorFrame(VendorCommand::LinkStart),
                                  {0xFF, 0xAA, 0xFF, 0xFF, 0xFF, 0xFF, 0x0D, 0x98}},
                      GoldenFrame{"LinkEnd",
                                  VendorFrame(VendorCommand::LinkEnd),
                                  {0xFF, 0xBB, 0xFF, 0xFF, 0xFF, 0xFF, 0xF1, 0x9B}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Frames, VendorFrameCrcMatchesItsTrailer) {
    for (auto command :
         {VendorCommand::ConnectRequest, VendorCommand::LinkStart, VendorCommand::LinkEnd}) {
        const Frame& f = VendorFrame(command);
        EXPECT_EQ(f[6] | (f[7] << 8), Crc16(f.data(), 6));
    }
}

TEST(Frames, BuildersFillEightBytesAndReportTheLength) {
    std::uint8_t buffer[10];
    std::fill(std::begin(buffer), std::end(buffer), 0xEE);
    EXPECT_EQ(8u, BuildReadRequest(buffer, 0x1234, 0x0102));
    EXPECT_EQ((Bytes{0x01, 0x03, 0x12, 0x34, 0x01, 0x02}), Bytes(buffer, buffer + 6));
    EXPECT_EQ(0xEE, buffer[8]);
    EXPECT_EQ(8u, BuildWriteRequest(buffer, 0xABCD, 0x00FF));
    EXPECT_EQ((Bytes{0x01, 0x06, 0xAB, 0xCD, 0x00, 0xFF}), Bytes(buffer, buffer + 6));
    EXPECT_EQ(buffer[6] | (buffer[7] << 8), Crc16(buffer, 6));
    EXPECT_EQ(0xEE, buffer[9]);
}

struct ClassifyCase {
    const char* name;
    Bytes chunk;
    Reply expected;
    friend void PrintTo(const ClassifyCase& c, std::ostream* os) { *os << c.name; }
};

class Classification : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(Classification, ByFirstTwoBytes) {
    const auto& c = GetParam();
    EXPECT_EQ(c.expected, ClassifyReply(c.chunk.data(), c.chunk.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, Classification,
    ::testing::Values(
        ClassifyCase{"ConnectAccepted", {0xFF, 0xF8}, {ReplyKind::ConnectAccepted, {}}},
        ClassifyCase{"LinkStarted", {0xFF, 0xAA, 0x00}, {ReplyKind::LinkStarted, {}}},
        ClassifyCase{"LinkEnded", {0xFF, 0xBB}, {ReplyKind::LinkEnded, {}}},
        ClassifyCase{"WriteEcho",
                     {0x01, 0x06, 0x00, 0x0F, 0x00, 0x7D, 0x79, 0xE8},
                     {ReplyKind::WriteEcho, {}}},
        ClassifyCase{"ReadReply",
                     {0x01, 0x03, 0x02, 0x01, 0x2C, 0xB8, 0x09},
                     {ReplyKind::RegisterValue, 300}},
        // No value that its CRC does not vouch for.
        ClassifyCase{"ReadReplyBadCrc",
                     {0x01, 0x03, 0x02, 0x01, 0x2C, 0x00, 0x00},
                     {ReplyKind::RegisterValue, {}}},
        ClassifyCase{"ReadReplyFlippedBit",
                     {0x01, 0x03, 0x02, 0x01, 0x3C, 0xB8, 0x09},
                     {ReplyKind::RegisterValue, {}}},
        ClassifyCase{
            "ReadReplyWithoutCrc", {0x01, 0x03, 0x02, 0xFF, 0xF6}, {ReplyKind::RegisterValue, {}}},
        ClassifyCase{
            "ReadReplyTooShortForValue", {0x01, 0x03, 0x02, 0x01}, {ReplyKind::RegisterValue, {}}},
        ClassifyCase{"EchoedConnectRequest",
                     {0xFF, 0x8F, 0xFF, 0xFF, 0xFF, 0xFF, 0x40, 0x5F},
                     {ReplyKind::Other, {}}},
        ClassifyCase{"WriteException",
                     {0x01, 0x86, 0x02, 0xC3, 0xA1},
                     {ReplyKind::Exception, {}, {}, 0x06, 0x02}},
        ClassifyCase{"ReadException",
                     {0x01, 0x83, 0x02, 0xC0, 0xF1},
                     {ReplyKind::Exception, {}, {}, 0x03, 0x02}},
        ClassifyCase{"ExceptionBadCrc", {0x01, 0x83, 0x02, 0xC0, 0xF0}, {ReplyKind::Exception, {}}},
        ClassifyCase{"OtherStation", {0x02, 0x03, 0x02, 0x01, 0x2C}, {ReplyKind::Other, {}}},
        ClassifyCase{"OneByte", {0xFF}, {ReplyKind::Other, {}}},
        ClassifyCase{"Empty", {}, {ReplyKind::Other, {}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace protocol
