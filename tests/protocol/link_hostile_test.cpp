// A hostile line: flipped bits under the old CRC, vendor answers nobody
// asked for, exception replies and a line that never falls quiet. The link
// believes only what it can check, and says why an exchange failed.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "link_rig.h"
#include "protocol/traffic_record.h"

namespace protocol::testing {
namespace {

using corvexa::sim::FaultModes;

CTransmitterLink::Timing Quick() {
    CTransmitterLink::Timing quick;
    quick.attempt = 300ms;
    quick.guard = 100ms;
    return quick;
}

struct ReadAllFault {
    const char* name;
    FaultModes faults;
    std::size_t frames;     // requests the device gets, handshake included
    int refusedIndex = -1;  // the read it refuses, if any
    friend void PrintTo(const ReadAllFault& c, std::ostream* os) { *os << c.name; }
};

FaultModes Flip(unsigned every) {
    FaultModes f;
    f.flipEvery = every;
    return f;
}
FaultModes Stray(std::vector<std::uint8_t> bytes, std::uint16_t reg) {
    FaultModes f;
    f.strayPrefix = std::move(bytes);
    f.strayRegister = reg;
    return f;
}
FaultModes Refuse(std::uint8_t code, std::uint16_t reg) {
    FaultModes f;
    f.exceptionCode = code;
    f.exceptionRegister = reg;
    return f;
}

class LinkHostileReadAll : public ::testing::TestWithParam<ReadAllFault> {};

TEST_P(LinkHostileReadAll, EveryWordShownIsTheDevicesAndNothingStartsTwice) {
    const ReadAllFault& c = GetParam();
    LinkRig rig(true, Quick());
    rig.Sim().SetWander(false);
    rig.Sim().SetFaults(c.faults);
    ASSERT_TRUE(rig.Connect());
    std::this_thread::sleep_for(300ms);  // a second read-all would be under way

    EXPECT_EQ(1u, rig.Sink().Count(UM_DEVICE_ONLINE));
    EXPECT_EQ(c.frames, rig.Frames().size());
    const RegisterWords words = rig.Link().Words();
    for (int i = 0; i < kRegisterCount; ++i) {
        SCOPED_TRACE("register " + std::to_string(RegisterOfIndex(i)));
        if (i == c.refusedIndex) {
            EXPECT_FALSE(words[i]);
        } else {
            EXPECT_EQ(rig.Sim().Register(RegisterOfIndex(i)), words[i]);
        }
    }
    for (const Posted& p : rig.Sink().Messages()) {
        if (p.msg != UM_READ_PROGRESS) continue;
        const bool refused = static_cast<int>(p.wParam) == c.refusedIndex;
        EXPECT_EQ(refused ? ResultParam(ExchangeFailure::Refused, 0x02) : 1,
                  ReadProgressResult(p.lParam))
            << "index " << p.wParam;
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, LinkHostileReadAll,
                         ::testing::Values(
                             // Every third reply is spoilt (from the first read on, every third
                             // request is a retry): each is retried, none is shown.
                             ReadAllFault{"FlippedBits", Flip(3), 2 + 14 + 7},
                             ReadAllFault{"StrayLinkStarted", Stray({0xFF, 0xAA}, 15), 16},
                             ReadAllFault{"StrayConnectAccepted", Stray({0xFF, 0xF8}, 12), 16},
                             // Refused once, not three times, and the read-all goes on.
                             ReadAllFault{"ReadRefused", Refuse(0x02, 17), 16, kUpperLimitIndex}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LinkHostile, SamplingTakesOnlyItsOwnReadsThoughVendorAnswersComeBetween) {
    LinkRig rig(true, Quick());
    ASSERT_TRUE(rig.Connect());
    rig.Link().TakeUpdate();
    rig.Sim().ClearFrames();
    rig.Sim().SetFaults(Stray({0xFF, 0xAA, 0xFF, 0xF8}, 20));
    rig.Link().SetRegisterIndex(kZeroSampleIndex);
    rig.Link().SetZeroSampling(true);
    ASSERT_TRUE(rig.Sim().WaitForHandled(16 + 10, 10s));
    rig.Link().SetZeroSampling(false);
    std::this_thread::sleep_for(200ms);

    for (const Frame& f : rig.Frames()) EXPECT_EQ(ReadRequest(20), f);
    EXPECT_EQ(1u, rig.Sink().Count(UM_DEVICE_ONLINE));
    const auto update = rig.Link().TakeUpdate();
    EXPECT_EQ(1u << kZeroSampleIndex, update.changed);
    EXPECT_EQ(1u << kZeroSampleIndex, update.sampled);
}

TEST(LinkHostile, WriteRefusedEndsAtOnceWithTheDevicesCode) {
    LinkRig rig(true, Quick());
    ASSERT_TRUE(rig.Connect());
    rig.Sim().ClearFrames();
    rig.Sim().SetFaults(Refuse(0x03, 17));
    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteUpperLimit, 500));
    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 1, 5s));
    EXPECT_EQ(Posted({UM_WRITE_RESULT, 20, ResultParam(ExchangeFailure::Refused, 0x03)}),
              rig.Sink().Messages().back());
    EXPECT_EQ(1u, rig.Frames().size());
}

// A line that never falls quiet holds no request for ever: the exchange
// fails, in words, before it has sent all its attempts.
TEST(LinkHostile, BabblingLineFailsTheExchangeAsLineBusy) {
    CTransmitterLink::Timing timing = Quick();
    // Wide enough for a loaded machine to keep up with the babble.
    timing.frameGap = 15ms;
    LinkRig rig(true, timing, /*startReader=*/false);
    rig.Sim().SetSilent(true);
    std::atomic<bool> babbling{true};
    std::thread babble([&] {
        while (babbling.load()) {
            rig.Receive({0x00});
            std::this_thread::sleep_for(2ms);
        }
    });
    ASSERT_TRUE(rig.Link().StartVendorTask(OperationCode::ConnectRequest));
    const bool ended = rig.Sink().WaitFor(UM_NO_ANSWER, 1, 10s);
    babbling.store(false);
    babble.join();
    ASSERT_TRUE(ended);
    EXPECT_EQ(Posted({UM_NO_ANSWER, 27, ResultParam(ExchangeFailure::LineBusy)}),
              rig.Sink().Messages().back());
    EXPECT_LT(rig.Frames().size(), 3u);
}

// A two-wire RS-485 adapter that gives back what it sends: our own bytes
// never pass for the device's, so a write is confirmed only by the echo
// the device sends behind ours.
struct EchoCase {
    const char* name;
    EchoMode mode;
    bool adapterEcho;
    bool ignoresWrite;  // the device never hears the write
    bool echoSeen;
    bool written;
    bool connects = true;
    friend void PrintTo(const EchoCase& c, std::ostream* os) { *os << c.name; }
};

class LinkAdapterEcho : public ::testing::TestWithParam<EchoCase> {};

TEST_P(LinkAdapterEcho, OurOwnBytesNeverConfirmAWrite) {
    const EchoCase& c = GetParam();
    CTrafficRecord record;
    LinkRig rig(true, Quick());
    rig.Link().SetObserver(&record);
    rig.Link().SetEchoMode(c.mode);
    rig.Sim().SetWander(false);
    FaultModes faults;
    faults.adapterEcho = c.adapterEcho;
    rig.Sim().SetFaults(faults);
    if (!c.connects) {
        ASSERT_TRUE(rig.Link().StartVendorTask(OperationCode::ConnectRequest));
        ASSERT_TRUE(rig.Sink().WaitFor(UM_NO_ANSWER, 1, 5s));
        EXPECT_EQ(Posted({UM_NO_ANSWER, 28, 0}), rig.Sink().Messages().back());
        return;
    }
    ASSERT_TRUE(rig.Connect());
    EXPECT_EQ(c.echoSeen, rig.Link().EchoSeen());
    const RegisterWords words = rig.Link().Words();
    for (int i = 0; i < kRegisterCount; ++i)
        EXPECT_EQ(rig.Sim().Register(RegisterOfIndex(i)), words[i]) << "index " << i;

    rig.Sim().ClearFrames();
    if (c.ignoresWrite) faults.ignoreRegister = 17;
    rig.Sim().SetFaults(faults);
    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteUpperLimit, 140));
    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 1, 5s));
    EXPECT_EQ(c.written ? 1 : 0, rig.Sink().Messages().back().lParam);
    EXPECT_EQ(c.written ? 1u : 3u, rig.Frames().size());
    std::size_t echoRows = 0;
    for (const auto& e : record.Since(0)) echoRows += e->meaning == "adapter echo";
    EXPECT_EQ(c.adapterEcho && c.echoSeen, echoRows > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, LinkAdapterEcho,
    ::testing::Values(
        EchoCase{"AutoFindsTheEcho", EchoMode::Auto, true, false, true, true},
        EchoCase{"AutoOwnEchoIsNoConfirmation", EchoMode::Auto, true, true, true, false},
        EchoCase{"AutoWithoutEcho", EchoMode::Auto, false, false, false, true},
        // On: the first copy is always ours, so when the adapter
        // does not echo, LinkStart's answer (the same 8 bytes as
        // the request) is taken for our echo: the handshake fails
        // rather than pass on bytes nobody can tell apart.
        EchoCase{"OnWithoutEchoFailsTheHandshake", EchoMode::On, false, false, true, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace protocol::testing
