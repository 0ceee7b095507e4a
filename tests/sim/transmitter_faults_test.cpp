#include <gtest/gtest.h>

#include "sim/reply_builder.h"
#include "sim/simulated_transmitter.h"
#include "tests/sim/slave_port.h"

namespace corvexa::sim {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::Hex;
using testing::SlavePort;
using testing::ToHex;

const char* const kReadUpper = "01 03 00 11 00 01 D4 0F";
const char* const kUpperReply = "01 03 02 00 96 38 2A";
const char* const kConnect = "FF 8F FF FF FF FF 40 5F";
const char* const kConnectReply = "FF F8 FF FF FF FF B4 54";

// Each test drives one fault mode on a live simulator, switched on while it
// runs, and checks what the program's side of the line sees.
class TransmitterFaults : public ::testing::Test {
protected:
    static SimulatedTransmitter::Options Quick() {
        SimulatedTransmitter::Options o;
        o.pacing = false;
        o.wander = false;
        return o;
    }

    // True when nothing more arrives within a short window after the
    // simulator says it has dealt with every request sent so far.
    bool LineStaysQuiet() {
        EXPECT_TRUE(sim.WaitForHandled(sim.FrameCount(), 2s));
        return port.Read(1, 100ms).empty();
    }

    SimulatedTransmitter sim{Quick()};
    SlavePort port{sim.SlavePath()};
};

TEST_F(TransmitterFaults, SilentDeviceRecordsButNeverAnswers) {
    sim.SetSilent(true);
    port.Write(Hex(kReadUpper));
    ASSERT_TRUE(sim.WaitForFrames(1, 2s));
    EXPECT_TRUE(LineStaysQuiet());
    sim.SetSilent(false);
    EXPECT_EQ(ToHex(port.Exchange(Hex(kReadUpper), 7)), kUpperReply);
}

TEST_F(TransmitterFaults, DelayedReplyComesOnlyAfterTheDelay) {
    sim.SetReplyDelay(300ms);
    port.Write(Hex(kReadUpper));
    ASSERT_TRUE(sim.WaitForFrames(1, 2s));
    const auto received = sim.Frames()[0].at;
    const auto bytes = port.ReadTimed(7, 3s);
    ASSERT_EQ(bytes.size(), 7u);
    EXPECT_GE(bytes.front().at - received, 300ms);
}

// Sizes of the reads that delivered `bytes` (one read, one time stamp).
std::vector<std::size_t> Chunks(const std::vector<SlavePort::TimedByte>& bytes) {
    std::vector<std::size_t> sizes;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 0 || bytes[i].at != bytes[i - 1].at) {
            sizes.push_back(0);
        }
        ++sizes.back();
    }
    return sizes;
}

TEST_F(TransmitterFaults, SplitReplyArrivesInPiecesWithThePauseBetween) {
    // The pause is long next to a late wake-up on a busy machine, and the
    // gaps are checked at half of it: seen from this side, a late read of one
    // piece shortens the gap before the next.
    sim.SetSplitOffsets({2, 5}, 300ms);
    port.Write(Hex(kReadUpper));
    const auto bytes = port.ReadTimed(7, 3s);
    ASSERT_EQ(bytes.size(), 7u);
    Bytes got;
    for (const auto& b : bytes) got.push_back(b.byte);
    EXPECT_EQ(ToHex(got), kUpperReply);
    EXPECT_EQ(Chunks(bytes), (std::vector<std::size_t>{2, 3, 2}));
    EXPECT_GE(bytes[2].at - bytes[1].at, 150ms);
    EXPECT_GE(bytes[5].at - bytes[4].at, 150ms);

    sim.SetSplitPieces(2, 300ms);
    port.Write(Hex(kConnect));
    const auto vendor = port.ReadTimed(8, 3s);
    ASSERT_EQ(vendor.size(), 8u);
    EXPECT_EQ(Chunks(vendor), (std::vector<std::size_t>{4, 4}));
    EXPECT_GE(vendor[4].at - vendor[3].at, 150ms);

    sim.ClearSplit();
    EXPECT_EQ(ToHex(port.Exchange(Hex(kReadUpper), 7)), kUpperReply);
}

TEST_F(TransmitterFaults, GluedRepliesComeTogetherWithTheNextOne) {
    sim.SetGlue(true);
    port.Write(Hex(kConnect));
    ASSERT_TRUE(sim.WaitForFrames(1, 2s));
    EXPECT_TRUE(LineStaysQuiet()) << "the first reply is held back";
    port.Write(Hex(kReadUpper));
    EXPECT_EQ(ToHex(port.Read(15, 2s)), std::string(kConnectReply) + " " + kUpperReply);

    // Switching glue off lets a held reply out with the next one, not never.
    port.Write(Hex(kReadUpper));
    ASSERT_TRUE(sim.WaitForFrames(3, 2s));
    EXPECT_TRUE(LineStaysQuiet());
    sim.SetGlue(false);
    port.Write(Hex(kConnect));
    EXPECT_EQ(ToHex(port.Read(15, 2s)), std::string(kUpperReply) + " " + kConnectReply);
}

TEST_F(TransmitterFaults, CorruptedCrcLeavesThePayloadIntact) {
    sim.SetCorruptCrc(true);
    const Bytes reply = port.Exchange(Hex(kReadUpper), 7);
    ASSERT_EQ(reply.size(), 7u);
    EXPECT_EQ(ToHex(Bytes(reply.begin(), reply.begin() + 5)), "01 03 02 00 96");
    EXPECT_NE(reply[5] | reply[6] << 8, protocol::Crc16(reply.data(), 5));
}

TEST_F(TransmitterFaults, ExceptionModeRefusesModbusRequestsOnly) {
    sim.SetException(std::uint8_t{0x04});
    EXPECT_EQ(ToHex(port.Exchange(Hex(kReadUpper), 5)), "01 83 04 40 F3");
    EXPECT_EQ(ToHex(port.Exchange(Hex("01 06 00 0F 00 7D 79 E8"), 5)), "01 86 04 43 A3");
    EXPECT_EQ(sim.Register(15), 0);
    EXPECT_EQ(ToHex(port.Exchange(Hex(kConnect), 8)), kConnectReply);
    sim.SetException(std::nullopt);
    EXPECT_EQ(ToHex(port.Exchange(Hex(kReadUpper), 7)), kUpperReply);
}

// The hostile line's modes: what the program's side gets for a read of
// register 17 (upper limit) and, after it, of register 16.
TEST_F(TransmitterFaults, HostileModesActOnTheRepliesTheyName) {
    const char* const kReadLower = "01 03 00 10 00 01 85 CF";
    const char* const kLowerReply = "01 03 02 FF CE 78 20";
    struct Case {
        const char* name;
        FaultModes faults;
        const char* upper;  // the reply to the read of register 17
        std::size_t upperBytes;
        const char* connect;
    };
    FaultModes flip, stray, refuse, bare;
    flip.flipEvery = 2;  // the second reply: the read of 17
    stray.strayPrefix = {0xFF, 0xAA};
    stray.strayRegister = 17;
    refuse.exceptionCode = 0x02;
    refuse.exceptionRegister = 17;
    bare.shortVendorAnswers = true;
    const Case cases[] = {
        {"flip", flip, "01 03 02 00 86 38 2A", 7, kConnectReply},  // 0x96 flipped, old CRC
        {"stray", stray, "FF AA 01 03 02 00 96 38 2A", 9, kConnectReply},
        {"refuse", refuse, "01 83 02 C0 F1", 5, kConnectReply},
        {"bare", bare, "01 03 02 00 96 38 2A", 7, "FF F8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.SetFaults(c.faults);
        EXPECT_EQ(ToHex(port.Exchange(Hex(kConnect), 8, 300ms)), c.connect);
        EXPECT_EQ(ToHex(port.Exchange(Hex(kReadUpper), c.upperBytes)), c.upper);
        EXPECT_EQ(ToHex(port.Exchange(Hex(kReadLower), 7)), kLowerReply);
        sim.ClearFaults();
    }
}

TEST_F(TransmitterFaults, BabbleFillsTheLineWhileNoRequestComes) {
    FaultModes babble;
    babble.babble = 5ms;
    sim.SetFaults(babble);
    const auto bytes = port.ReadTimed(10, 2s);
    ASSERT_EQ(bytes.size(), 10u);
    for (const auto& b : bytes) EXPECT_EQ(b.byte, 0x00);
    sim.ClearFaults();
}

TEST_F(TransmitterFaults, EveryNthRequestIsDropped) {
    sim.SetDropEvery(3);
    std::vector<bool> answered;
    for (std::size_t i = 1; i <= 7; ++i) {
        port.Write(Hex(kReadUpper));
        ASSERT_TRUE(sim.WaitForHandled(i, 2s));
        answered.push_back(port.Read(7, 300ms).size() == 7);
    }
    EXPECT_EQ(answered, (std::vector<bool>{true, true, false, true, true, false, true}));
    EXPECT_EQ(sim.FrameCount(), 7u) << "dropped requests are still on record";
}

}  // namespace
}  // namespace corvexa::sim
