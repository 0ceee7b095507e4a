#include "sim/simulated_transmitter.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "tests/sim/slave_port.h"

namespace corvexa::sim {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::Hex;
using testing::SlavePort;
using testing::ToHex;

SimulatedTransmitter::Options Quick() {
    SimulatedTransmitter::Options o;
    o.pacing = false;
    o.wander = false;
    return o;
}

struct WireCase {
    const char* request;
    const char* reply;
};

// The whole conversation of a factory-mode connect, byte for byte as worked
// out by hand: handshake, the fourteen reads, a write, the link end.
const WireCase kConversation[] = {
    {"FF 8F FF FF FF FF 40 5F", "FF F8 FF FF FF FF B4 54"},
    {"FF AA FF FF FF FF 0D 98", "FF AA FF FF FF FF 0D 98"},
    {"01 03 00 0A 00 01 A4 08", "01 03 02 00 00 B8 44"},
    {"01 03 00 0B 00 01 F5 C8", "01 03 02 00 00 B8 44"},
    {"01 03 00 10 00 01 85 CF", "01 03 02 FF CE 78 20"},
    {"01 03 00 11 00 01 D4 0F", "01 03 02 00 96 38 2A"},
    {"01 06 00 0F 00 7D 79 E8", "01 06 00 0F 00 7D 79 E8"},
    {"01 03 00 18 00 01 04 0D", "01 83 02 C0 F1"},
    {"01 06 00 18 00 05 C9 CE", "01 86 02 C3 A1"},
    {"FF BB FF FF FF FF F1 9B", "FF BB FF FF FF FF F1 9B"},
};

TEST(SimulatedTransmitter, AnswersEveryRequestKindOnTheWire) {
    SimulatedTransmitter sim(Quick());
    SlavePort port(sim.SlavePath());
    for (const WireCase& c : kConversation) {
        const Bytes want = Hex(c.reply);
        EXPECT_EQ(ToHex(port.Exchange(Hex(c.request), want.size() + 1, 300ms)), c.reply)
            << "request " << c.request << " (nothing more may follow the reply)";
    }
    EXPECT_EQ(sim.Register(15), 0x7D);
}

TEST(SimulatedTransmitter, RecordsEveryFrameInOrderWithGarbageSkipped) {
    SimulatedTransmitter sim(Quick());
    sim.SetSilent(true);
    SlavePort port(sim.SlavePath());
    port.Write(Hex("00 FF 8F FF FF FF FF 40 5F 13 37"));
    port.Write(Hex("01 03 00 0A 00"));
    EXPECT_FALSE(sim.WaitForFrames(2, 100ms)) << "half a frame is not a frame";
    port.Write(Hex("01 A4 08"));
    ASSERT_TRUE(sim.WaitForFrames(2, 2s));
    const auto frames = sim.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(ToHex(Bytes(frames[0].bytes.begin(), frames[0].bytes.end())),
              "FF 8F FF FF FF FF 40 5F");
    EXPECT_EQ(ToHex(Bytes(frames[1].bytes.begin(), frames[1].bytes.end())),
              "01 03 00 0A 00 01 A4 08");
    EXPECT_LE(frames[0].at, frames[1].at);
    EXPECT_EQ(sim.SkippedBytes(), 3u);

    sim.ClearFrames();
    EXPECT_EQ(sim.FrameCount(), 0u);
    port.Write(Hex("FF BB FF FF FF FF F1 9B"));
    ASSERT_TRUE(sim.WaitForFrames(1, 2s));
    EXPECT_EQ(sim.Frames()[0].bytes[1], 0xBB);
}

TEST(SimulatedTransmitter, RecordKeepsTheLatestFramesAndCountsThemAll) {
    SimulatedTransmitter sim(Quick());
    sim.SetSilent(true);
    SlavePort port(sim.SlavePath());
    const std::size_t total = SimulatedTransmitter::kMaxRecorded + 5;
    Bytes stream;
    protocol::Frame request{};
    for (std::size_t i = 0; i < total; ++i) {
        protocol::BuildReadRequest(request.data(), static_cast<std::uint16_t>(i), 1);
        stream.insert(stream.end(), request.begin(), request.end());
    }
    port.Write(stream);
    ASSERT_TRUE(sim.WaitForFrames(total, 60s));
    EXPECT_EQ(sim.FrameCount(), total);
    const auto frames = sim.Frames();
    ASSERT_EQ(frames.size(), SimulatedTransmitter::kMaxRecorded);
    EXPECT_EQ(frames.front().bytes[3], 5) << "the oldest five make room";
    EXPECT_EQ(frames.back().bytes[2] << 8 | frames.back().bytes[3], (total - 1) & 0xFFFF);
}

TEST(SimulatedTransmitter, TraceShowsRequestsAndRepliesAsTheyGoOut) {
    std::mutex mutex;
    std::vector<std::string> lines;
    auto options = Quick();
    options.faults.glue = true;
    options.trace = [&](bool incoming, const Bytes& bytes) {
        std::lock_guard lock(mutex);
        lines.push_back((incoming ? "-> " : "<- ") + ToHex(bytes));
    };
    SimulatedTransmitter sim(options);
    SlavePort port(sim.SlavePath());
    port.Write(Hex("FF 8F FF FF FF FF 40 5F"));
    EXPECT_EQ(port.Exchange(Hex("01 03 00 11 00 01 D4 0F"), 15).size(), 15u);
    ASSERT_TRUE(sim.WaitForHandled(2, 2s));
    std::lock_guard lock(mutex);
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "-> FF 8F FF FF FF FF 40 5F",
                         "-> 01 03 00 11 00 01 D4 0F",
                         "<- FF F8 FF FF FF FF B4 54 01 03 02 00 96 38 2A",
                     }));
}

TEST(SimulatedTransmitter, SlavePathSurvivesTheProgramClosingAndReopeningIt) {
    SimulatedTransmitter sim(Quick());
    for (int round = 0; round < 5; ++round) {
        SlavePort port(sim.SlavePath());
        EXPECT_EQ(ToHex(port.Exchange(Hex("01 03 00 11 00 01 D4 0F"), 7)), "01 03 02 00 96 38 2A")
            << "round " << round;
    }
}

TEST(SimulatedTransmitter, ProgramThatLeftLeavesNeitherItsLockNorItsRepliesBehind) {
    SimulatedTransmitter sim(Quick());
    sim.SetReplyDelay(200ms);
    {
        SlavePort holder(sim.SlavePath());
        holder.LockExclusive();
        // 100 ms is five sweeps; a program still holding its lock keeps the flag.
        EXPECT_TRUE(holder.Read(1, 100ms).empty());
        EXPECT_TRUE(holder.ExclusiveFlag());
        // Gone before its answer comes, like a disconnect right after LinkEnd.
        holder.Write(Hex("FF BB FF FF FF FF F1 9B"));
        ASSERT_TRUE(sim.WaitForFrames(1, 2s));
    }
    // Root may open regardless, everyone else would get EBUSY: the flag
    // itself is what must go once the holder has closed.
    SlavePort next(sim.SlavePath());
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (next.ExclusiveFlag() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);  // not a read: that would eat a stale reply
    }
    EXPECT_FALSE(next.ExclusiveFlag());
    sim.SetReplyDelay(0ms);
    EXPECT_EQ(ToHex(next.Exchange(Hex("01 03 00 11 00 01 D4 0F"), 8, 500ms)),
              "01 03 02 00 96 38 2A")
        << "the late FF BB must have been discarded with the old connection";
}

TEST(SimulatedTransmitter, SampleRegistersWanderWhileBeingPolled) {
    auto options = Quick();
    options.wander = true;
    SimulatedTransmitter sim(options);
    const int stored = *sim.Register(20);
    SlavePort port(sim.SlavePath());
    int previous = stored;
    for (int i = 0; i < 20; ++i) {
        const Bytes reply = port.Exchange(Hex("01 03 00 14 00 01 C4 0E"), 7);
        ASSERT_EQ(reply.size(), 7u);
        Bytes body(reply.begin(), reply.end() - 2);
        const std::uint16_t crc = protocol::Crc16(body.data(), body.size());
        EXPECT_EQ(reply[5] | reply[6] << 8, crc);
        const int value = reply[3] << 8 | reply[4];
        EXPECT_NE(value, previous);
        EXPECT_LE(std::abs(value - stored), RegisterBank::kMaxWander);
        previous = value;
    }
}

TEST(SimulatedTransmitter, RegistersSetFromOutsideAreReadBack) {
    SimulatedTransmitter sim(Quick());
    EXPECT_TRUE(sim.SetRegister(22, 0xFFF6));
    EXPECT_FALSE(sim.SetRegister(24, 1));
    SlavePort port(sim.SlavePath());
    // 01 03 00 16 00 01: register 22.
    EXPECT_EQ(ToHex(port.Exchange(Hex("01 03 00 16 00 01 65 CE"), 7)), "01 03 02 FF F6 79 F2");
}

TEST(SimulatedTransmitter, PacedReplyTakesAtLeastItsWireTime) {
    auto options = Quick();
    options.pacing = true;
    SimulatedTransmitter sim(options);
    SlavePort port(sim.SlavePath());
    // An 8-byte request and a 9-byte reply: 17.7 ms on the wire at 9600
    // baud. Only a lower bound is checked; how late the reader wakes up is
    // the machine's business.
    port.Write(Hex("01 03 00 16 00 02 25 CF"));
    ASSERT_TRUE(sim.WaitForFrames(1, 2s));
    const auto received = sim.Frames()[0].at;
    const auto bytes = port.ReadTimed(9, 2000ms);
    ASSERT_EQ(bytes.size(), 9u);
    EXPECT_GE(bytes.back().at - received, 17 * SimulatedTransmitter::kByteTime);
}

TEST(SimulatedTransmitter, StopsInTheMiddleOfALongDelay) {
    auto options = Quick();
    options.faults.replyDelay = 600'000ms;
    SimulatedTransmitter sim(options);
    SlavePort port(sim.SlavePath());
    port.Write(Hex("FF 8F FF FF FF FF 40 5F"));
    ASSERT_TRUE(sim.WaitForFrames(1, 2s));
    // The destructor at the end of this test must not sit out the ten
    // minutes; if it did, the suite's own time-out would fail the test.
}

}  // namespace
}  // namespace corvexa::sim
