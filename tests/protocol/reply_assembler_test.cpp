#include "protocol/reply_assembler.h"
#include "tests/protocol/reply_bytes.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace protocol {
namespace {

using testing::Bytes;
using testing::Concat;
using testing::WithCrc;

Bytes VendorAnswer(std::uint8_t answer) {
    return WithCrc({0xFF, answer, 0xFF, 0xFF, 0xFF, 0xFF});
}
Bytes ReadReply(std::uint16_t value) {
    return testing::ReadReplyBytes(value);
}
Bytes Echo(std::uint16_t reg, std::uint16_t value) {
    return testing::EchoBytes(reg, value);
}

const Reply kAccepted{ReplyKind::ConnectAccepted, {}};
const Reply kStarted{ReplyKind::LinkStarted, {}};
const Reply kEnded{ReplyKind::LinkEnded, {}};
Reply EchoOf(std::uint16_t reg, std::uint16_t value) {
    return {ReplyKind::WriteEcho, {}, WriteRequest(reg, value)};
}
Reply Value(std::uint16_t v) {
    return {ReplyKind::RegisterValue, v};
}
Reply Refusal(std::uint8_t function, std::uint8_t code) {
    return {ReplyKind::Exception, {}, {}, function, code};
}

std::vector<Reply> FeedInPieces(const Bytes& stream, const std::vector<std::size_t>& cuts) {
    CReplyAssembler assembler;
    std::vector<Reply> out;
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        assembler.Feed(stream.data() + from, cut - from, out);
        from = cut;
    }
    assembler.Feed(stream.data() + from, stream.size() - from, out);
    return out;
}

struct StreamCase {
    const char* name;
    Bytes stream;
    std::vector<Reply> replies;
    friend void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }
};

class Reassembly : public ::testing::TestWithParam<StreamCase> {};

TEST_P(Reassembly, SameRepliesWhereverTheLineCutsThem) {
    const auto& c = GetParam();
    EXPECT_EQ(c.replies, FeedInPieces(c.stream, {})) << "whole";
    for (std::size_t cut = 1; cut < c.stream.size(); ++cut) {
        EXPECT_EQ(c.replies, FeedInPieces(c.stream, {cut})) << "cut at " << cut;
    }
    std::vector<std::size_t> everyByte;
    for (std::size_t cut = 1; cut < c.stream.size(); ++cut) everyByte.push_back(cut);
    EXPECT_EQ(c.replies, FeedInPieces(c.stream, everyByte)) << "byte by byte";
}

INSTANTIATE_TEST_SUITE_P(
    Streams, Reassembly,
    ::testing::Values(
        StreamCase{"ReadReply", ReadReply(300), {Value(300)}},
        StreamCase{"VendorAnswers",
                   Concat({VendorAnswer(0xF8), VendorAnswer(0xAA), VendorAnswer(0xBB)}),
                   {kAccepted, kStarted, kEnded}},
        StreamCase{"GluedReadAndEcho",
                   Concat({ReadReply(0xFFF6), Echo(15, 125)}),
                   {Value(0xFFF6), EchoOf(15, 125)}},
        // Value bytes 01 06 and FF F8 inside a reply are never taken as a header.
        StreamCase{"ValueBytesLookLikeHeader",
                   Concat({ReadReply(0x0106), ReadReply(0xFFF8)}),
                   {Value(0x0106), Value(0xFFF8)}},
        StreamCase{"ShortVendorAnswers",
                   Concat({Bytes{0xFF, 0xF8, 0xFF, 0xAA}, ReadReply(7)}),
                   {kAccepted, kStarted, Value(7)}},
        StreamCase{"GarbageBefore",
                   Concat({Bytes{0x00, 0x13, 0x01, 0xFF, 0x77}, ReadReply(5)}),
                   {Value(5)}},
        StreamCase{"ExceptionReply",
                   Concat({WithCrc({0x01, 0x86, 0x02}), Echo(16, 1)}),
                   {Refusal(0x06, 0x02), EchoOf(16, 1)}},
        // A header whose next bytes do not fit it hides no reply behind it.
        StreamCase{"StrayEchoHeaderBeforeReadReply",
                   Concat({Bytes{0x01, 0x06}, ReadReply(300)}),
                   {Value(300)}},
        StreamCase{"ReadHeaderWithOtherByteCount",
                   Concat({Bytes{0x01, 0x03, 0x04}, ReadReply(9)}),
                   {Value(9)}},
        StreamCase{
            "EchoWithBadCrcIsNoEcho",
            Concat({Bytes{0x01, 0x06, 0x00, 0x10, 0x00, 0x01, 0x00, 0x00}, VendorAnswer(0xBB)}),
            {kEnded}},
        StreamCase{
            "EchoedRequestIsNoReply",
            Concat({Bytes{0xFF, 0x8F, 0xFF, 0xFF, 0xFF, 0xFF, 0x40, 0x5F}, VendorAnswer(0xF8)}),
            {kAccepted}},
        StreamCase{"BadCrcIsNoValue",
                   Concat({Bytes{0x01, 0x03, 0x02, 0x01, 0x2C, 0x00, 0x00}, VendorAnswer(0xAA)}),
                   {kStarted}},
        StreamCase{"ExceptionWithBadCrcIsNoRefusal",
                   Concat({Bytes{0x01, 0x83, 0x02, 0xC0, 0xF0}, ReadReply(4)}),
                   {Value(4)}},
        // The search goes on behind a stray header that fails its CRC.
        // What stood behind a failed header is looked at afresh, not
        // swallowed as the padding of a vendor answer found inside it.
        StreamCase{"VendorAnswerAndReadBehindAFailedHeader",
                   Concat({Bytes{0x01, 0x03, 0x02, 0xFF, 0xF8}, ReadReply(5)}),
                   {kAccepted, Value(5)}},
        StreamCase{"StrayReadHeaderBeforeReadReply",
                   Concat({Bytes{0x01, 0x03, 0x02}, ReadReply(9)}),
                   {Value(9)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplyAssembler, StationOneRepliesCountOnlyWhole) {
    CReplyAssembler assembler;
    std::vector<Reply> out;
    const Bytes read = ReadReply(300);
    assembler.Feed(read.data(), 6, out);
    EXPECT_TRUE(out.empty());
    assembler.Feed(read.data() + 6, 1, out);
    EXPECT_EQ(std::vector<Reply>{Value(300)}, out);

    out.clear();
    const Bytes echo = Echo(15, 125);
    assembler.Feed(echo.data(), 7, out);
    EXPECT_TRUE(out.empty());
    assembler.Feed(echo.data() + 7, 1, out);
    EXPECT_EQ(std::vector<Reply>{EchoOf(15, 125)}, out);
}

TEST(ReplyAssembler, DropPartialForgetsAnUnfinishedReply) {
    CReplyAssembler assembler;
    std::vector<Reply> out;
    const Bytes stale = {0x01, 0x03, 0x02};
    assembler.Feed(stale.data(), stale.size(), out);
    EXPECT_TRUE(assembler.HasPartial());
    assembler.DropPartial();
    EXPECT_FALSE(assembler.HasPartial());
    const Bytes next = Echo(16, 1);
    assembler.Feed(next.data(), next.size(), out);
    EXPECT_EQ(std::vector<Reply>{EchoOf(16, 1)}, out);

    // A read cut before its CRC is lost with the drop; its tail starts nothing.
    out.clear();
    const Bytes read = ReadReply(0x01FF);
    assembler.Feed(read.data(), 5, out);
    assembler.DropPartial();
    const Bytes tailThenAnswer = Concat({Bytes(read.begin() + 5, read.end()), Bytes{0xFF, 0xBB}});
    assembler.Feed(tailThenAnswer.data(), tailThenAnswer.size(), out);
    EXPECT_EQ(std::vector<Reply>{kEnded}, out);
}

TEST(ReplyAssembler, AFailedCrcIsARunOfItsOwnAndEveryByteIsReported) {
    Bytes flipped = ReadReply(300);
    flipped[4] ^= 0x10;
    const Bytes stream = Concat({flipped, Bytes{0x55}, ReadReply(300), VendorAnswer(0xAA)});
    CReplyAssembler assembler;
    std::vector<Reply> out;
    std::vector<ReceivedRun> runs;
    // Byte by byte: the answer's rest comes in chunks of its own.
    for (std::uint8_t b : stream) assembler.Feed(&b, 1, out, &runs);
    std::vector<ReceivedRun::Kind> kinds;
    std::size_t bytes = 0;
    for (const auto& run : runs) {
        if (kinds.empty() || kinds.back() != run.kind) kinds.push_back(run.kind);
        bytes += run.bytes.size();
    }
    using K = ReceivedRun::Kind;
    EXPECT_EQ((std::vector<K>{K::CrcError, K::Unexpected, K::Reply, K::Rest}), kinds);
    EXPECT_EQ(stream.size(), bytes + assembler.HeldBytes());
    EXPECT_EQ((std::vector<Reply>{Value(300), kStarted}), out);
}

}  // namespace
}  // namespace protocol
