// The line stays sound under overlapping tasks, cut or glued replies,
// late replies and destruction at any moment.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "link_rig.h"

namespace protocol::testing {
namespace {

using Clock = std::chrono::steady_clock;

TEST(LinkReassembly, RepliesSplitAtEveryOffsetNeedNoRetry) {
    // Each piece waits longer than one 50 ms read, so every reply reaches
    // the link in two chunks.
    for (std::size_t offset = 1; offset < kFrameLength; ++offset) {
        SCOPED_TRACE("split at " + std::to_string(offset));
        LinkRig rig(false);
        rig.Sim().SetRegister(16, 0xFFF6);
        rig.Sim().SetSplitOffsets({offset}, std::chrono::milliseconds(80));
        ASSERT_TRUE(rig.Connect());
        ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteUpperLimit, 321));
        ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 1, 5s));

        const auto frames = rig.Sim().Frames();
        std::string log;
        for (const auto& f : frames) {
            char line[64];
            std::snprintf(
                line, sizeof line, "\n  +%lld ms: %02X %02X %02X %02X",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(f.at - frames.front().at)
                        .count()),
                f.bytes[0], f.bytes[1], f.bytes[2], f.bytes[3]);
            log += line;
        }
        EXPECT_EQ(2u + 8u + 1u, frames.size()) << "not one attempt may be repeated:" << log;
        EXPECT_EQ(L"-10", rig.Link().Parameters().lowerLimit);
        EXPECT_EQ(1, rig.Link().Parameters().decimals);
        EXPECT_EQ(Posted({UM_WRITE_RESULT, 20, 1}), rig.Sink().Messages().back());
    }
}

struct Trickle {
    const char* name;
    std::vector<std::size_t> cuts;  // each reply is cut before these offsets
    std::chrono::milliseconds pause;
    bool paced;  // each byte at its 9600 baud time, not at once
    bool bare;   // vendor answers in their two bytes alone
    std::chrono::milliseconds adapterLatency;
};

class LinkLineGap : public ::testing::TestWithParam<Trickle> {};

// Only the link keeps the line quiet (the device answers whenever asked); a
// trickled reply is recognised before its last bytes are in, and a padded
// answer cut after its head (as a USB adapter's packet cuts it) is no bare one.
TEST_P(LinkLineGap, EachRequestGoesOnceAndThreeAndAHalfCharactersAfterTheLastReplyByte) {
    LinkRig rig(false);
    rig.Sim().SetPacing(GetParam().paced);
    rig.Sim().SetSplitOffsets(GetParam().cuts, GetParam().pause);
    corvexa::sim::FaultModes faults = rig.Sim().Faults();
    faults.shortVendorAnswers = GetParam().bare;
    rig.Sim().SetFaults(faults);
    rig.Link().SetAdapterLatency(GetParam().adapterLatency);
    ASSERT_TRUE(rig.Connect());

    const auto frames = rig.Sim().Frames();
    const auto ends = rig.Sim().ReplyEnds();
    EXPECT_EQ(2u + 8u, frames.size()) << "not one attempt may be repeated";
    ASSERT_EQ(frames.size(), ends.size());
    for (std::size_t k = 1; k < frames.size(); ++k) {
        EXPECT_GE(frames[k].at - ends[k - 1], std::chrono::microseconds(3646))
            << "request " << k << " after "
            << std::chrono::duration<double, std::milli>(frames[k].at - ends[k - 1]).count()
            << " ms";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, LinkLineGap,
    ::testing::Values(
        Trickle{"FastWhole", {}, 0ms, false, false, 0ms},
        // A line that trickles is declared as slow as an adapter: a pause that
        // a busy machine stretches past the frame gap is no bare answer's end.
        Trickle{"OneBytePer3Ms", {1, 2, 3, 4, 5, 6, 7}, 3ms, false, false, 16ms},
        Trickle{"BareAnswersPaced", {}, 0ms, true, true, 0ms},
        Trickle{"PaddedCutAfterTheHeadBy10MsBehindA16MsAdapter", {2}, 10ms, false, false, 16ms}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LinkReassembly, EveryReplyInOneChunkIsHandledAndGarbageSkipped) {
    LinkRig rig(true, {}, /*startReader=*/false);
    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteLowerLimit, 7));
    ASSERT_TRUE(rig.Sim().WaitForFrames(1, 2s));
    const Bytes linkEnded = WithCrc({0xFF, 0xBB, 0xFF, 0xFF, 0xFF, 0xFF});
    rig.Receive(Concat({Bytes{0x13, 0x37, 0x01}, EchoBytes(16, 7), linkEnded}));

    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 1, 2s));
    EXPECT_EQ(Posted({UM_WRITE_RESULT, 19, 1}), rig.Sink().Messages().front());
    // The FF BB that no LinkEnd asked for changes nothing.
    EXPECT_NE(kNoReadPending, rig.Link().RegisterIndex());
    EXPECT_EQ(1u, rig.Frames().size());
}

TEST(LinkTurns, WritesPressedBackToBackGoOutInOrderEachWhole) {
    LinkRig rig(true);
    struct Press {
        OperationCode code;
        std::uint16_t reg;
        std::uint16_t value;
    };
    const std::vector<Press> presses = {
        {OperationCode::WriteLowerLimit, 16, 0xFFEC}, {OperationCode::WriteUpperLimit, 17, 600},
        {OperationCode::WriteTempComp, 19, 15},       {OperationCode::WriteZeroOutput, 22, 6500},
        {OperationCode::WriteFullOutput, 23, 31000},
    };
    for (const auto& p : presses) ASSERT_TRUE(rig.Link().StartWriteTask(p.code, p.value));
    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, presses.size(), 5s));

    std::vector<Frame> wire;
    std::vector<Posted> results;
    for (const auto& p : presses) {
        wire.push_back(WriteRequest(p.reg, p.value));
        results.push_back({UM_WRITE_RESULT, static_cast<std::uintptr_t>(p.code), 1});
        EXPECT_EQ(p.value, rig.Sim().Register(p.reg));
    }
    EXPECT_EQ(wire, rig.Frames());
    EXPECT_EQ(results, rig.Sink().Messages());
}

TEST(LinkTurns, WriteDuringSamplingGetsItsOwnEcho) {
    LinkRig rig(true);
    rig.Sim().SetRegister(20, 6553);
    // A slow device: a poll's reply is still on its way when the write is pressed.
    rig.Sim().SetReplyDelay(200ms);
    rig.Link().SetRegisterIndex(kZeroSampleIndex);
    rig.Link().SetZeroSampling(true);
    ASSERT_TRUE(rig.Sim().WaitForFrames(2, 5s));
    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteZeroOutput, 1234));
    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 1, 5s));

    // Success may only come from the write's own echo, which the device
    // sends 200 ms after it took the request.
    const auto frames = rig.Frames();
    const auto write = std::find(frames.begin(), frames.end(), WriteRequest(22, 1234));
    ASSERT_NE(frames.end(), write);
    EXPECT_GE(rig.Sim().RequestsHandled(), static_cast<std::size_t>(write - frames.begin()) + 1);

    const std::size_t passes = rig.Sink().Count(UM_VALUES_CHANGED);
    ASSERT_TRUE(rig.Sink().WaitFor(UM_VALUES_CHANGED, passes + 1, 5s));  // sampling goes on
    rig.Link().SetZeroSampling(false);
    EXPECT_EQ(1234, rig.Sim().Register(22));
    EXPECT_EQ(L"6553", rig.Link().Parameters().zeroSample);
    std::size_t writes = 0;
    for (const auto& m : rig.Sink().Messages()) {
        if (m.msg == UM_WRITE_RESULT) {
            EXPECT_EQ(Posted({UM_WRITE_RESULT, 25, 1}), m);
            ++writes;
        }
    }
    EXPECT_EQ(1u, writes);
}

TEST(LinkTurns, PollRepliesNeverCompleteAWriteDuringSampling) {
    // The device answers the polls but never the write (say it refuses it):
    // the write must be reported as failed.
    CTransmitterLink::Timing quick;
    quick.attempt = 100ms;
    quick.guard = 30ms;
    LinkRig rig(true, quick, /*startReader=*/false);
    rig.Sim().SetSilent(true);
    rig.Link().SetRegisterIndex(kZeroSampleIndex);
    rig.Link().SetZeroSampling(true);
    ASSERT_TRUE(rig.Sim().WaitForFrames(1, 2s));
    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteZeroOutput, 1234));
    const auto until = Clock::now() + 3s;
    while (rig.Sink().Count(UM_WRITE_RESULT) == 0 && Clock::now() < until) {
        rig.Receive(ReadReplyBytes(4321));
        std::this_thread::sleep_for(20ms);
    }
    rig.Link().SetZeroSampling(false);
    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 1, 2s));
    for (const auto& m : rig.Sink().Messages()) {
        if (m.msg == UM_WRITE_RESULT) {
            EXPECT_EQ(Posted({UM_WRITE_RESULT, 25, 0}), m);
        }
    }
    EXPECT_EQ(L"4321", rig.Link().Parameters().zeroSample);
    EXPECT_EQ(L"", rig.Link().Parameters().zeroOutput);
}

TEST(LinkTurns, ReadAllDuringSamplingStoresEachValueInItsOwnField) {
    LinkRig rig(true);
    const std::uint16_t words[] = {4, 2, 7, 3, 0, 11, 12, 13, 5, 14, 1200, 2400, 15, 16};
    for (int i = 0; i < 14; ++i)
        rig.Sim().SetRegister(static_cast<std::uint16_t>(10 + i), words[i]);
    rig.Link().SetRegisterIndex(kZeroSampleIndex);
    rig.Link().SetZeroSampling(true);
    ASSERT_TRUE(rig.Connect());
    rig.Link().SetZeroSampling(false);

    const DeviceParameters p = rig.Link().Parameters();
    EXPECT_EQ(L"11.0", p.zeroOffset);
    EXPECT_EQ(L"12", p.lowerLimit);
    EXPECT_EQ(L"13", p.upperLimit);
    EXPECT_EQ(L"14.0", p.tempComp);
    EXPECT_EQ(L"1200", p.zeroSample);
    EXPECT_EQ(L"2400", p.fullSample);
    EXPECT_EQ(L"15", p.zeroOutput);
    EXPECT_EQ(L"16", p.fullOutput);
}

TEST(LinkLateReply, ReplyAfterTheLastAttemptCompletesNothingLater) {
    CTransmitterLink::Timing quick;
    quick.attempt = 100ms;
    quick.guard = 30ms;
    LinkRig rig(true, quick);
    rig.Sim().SetReplyDelay(800ms);
    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteLowerLimit, 1));
    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 1, 3s));
    // The first echo arrives now, long after its exchange gave up.
    ASSERT_TRUE(rig.Sim().WaitForHandled(1, 3s));
    rig.Sim().SetSilent(true);
    std::this_thread::sleep_for(100ms);

    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteUpperLimit, 2));
    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 2, 3s));
    EXPECT_EQ((std::vector<Posted>{{UM_WRITE_RESULT, 19, 0}, {UM_WRITE_RESULT, 20, 0}}),
              rig.Sink().Messages());
}

TEST(LinkLateReply, OnlyTheExpectedKindCompletesAnExchange) {
    CTransmitterLink::Timing quick;
    quick.attempt = 100ms;
    quick.guard = 30ms;
    LinkRig rig(false, quick, /*startReader=*/false);
    rig.Sim().SetSilent(true);
    const DeviceParameters before = rig.Link().Parameters();

    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteLowerLimit, 1));
    ASSERT_TRUE(rig.Sim().WaitForFrames(1, 2s));
    rig.Receive(ReadReplyBytes(99));  // a read reply is no echo
    rig.Receive({0xFF, 0xAA});        // nor is a vendor answer, which starts nothing
    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 1, 3s));
    EXPECT_EQ((std::vector<Posted>{{UM_WRITE_RESULT, 19, 0}}), rig.Sink().Messages());
    EXPECT_EQ(3u, rig.Frames().size());
    EXPECT_EQ(before, rig.Link().Parameters());
}

struct InFlight {
    const char* name;
    bool deviceAnswers;
    std::function<void(LinkRig&)> start;
    friend void PrintTo(const InFlight& c, std::ostream* os) { *os << c.name; }
};

class LinkDestruction : public ::testing::TestWithParam<InFlight> {};

TEST_P(LinkDestruction, EndsPendingExchangesAtOnceAndPostsNothingMore) {
    LinkRig rig(true);
    rig.Sim().SetSilent(!GetParam().deviceAnswers);
    GetParam().start(rig);
    ASSERT_TRUE(rig.Sim().WaitForFrames(GetParam().deviceAnswers ? 4 : 1, 5s));
    const std::size_t posted = rig.Sink().Messages().size();

    const auto begun = Clock::now();
    rig.DestroyLink();
    EXPECT_LT(Clock::now() - begun, 1000ms);  // a pending exchange would hold on for 3 s

    const std::size_t frames = rig.Frames().size();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(posted, rig.Sink().Messages().size());
    EXPECT_EQ(frames, rig.Frames().size());
}

INSTANTIATE_TEST_SUITE_P(
    Tasks, LinkDestruction,
    ::testing::Values(
        InFlight{"ConnectRequest", false,
                 [](LinkRig& r) { r.Link().StartVendorTask(OperationCode::ConnectRequest); }},
        InFlight{"ReadAll", false, [](LinkRig& r) { r.Link().StartReadAllTask(); }},
        InFlight{"Write", false,
                 [](LinkRig& r) { r.Link().StartWriteTask(OperationCode::WriteGain, 2); }},
        InFlight{"Sampling", false,
                 [](LinkRig& r) {
                     r.Link().SetZeroSampling(true);
                     r.Link().SetFullSampling(true);
                 }},
        InFlight{"Queued", false,
                 [](LinkRig& r) {
                     for (int i = 0; i < 4; ++i) {
                         r.Link().StartWriteTask(OperationCode::WriteGain, 2);
                         r.Link().StartReadAllTask();
                     }
                 }},
        InFlight{"HandshakeUnderWay", true,
                 [](LinkRig& r) { r.Link().StartVendorTask(OperationCode::ConnectRequest); }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace protocol::testing
