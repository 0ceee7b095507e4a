#include <gtest/gtest.h>

#include <thread>

#include "link_rig.h"

namespace protocol::testing {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<Frame> HandshakeFrames(int reads) {
    std::vector<Frame> frames = {VendorFrame(VendorCommand::ConnectRequest),
                                 VendorFrame(VendorCommand::LinkStart)};
    for (int index = 0; index < reads; ++index) frames.push_back(ReadRequest(10 + index));
    return frames;
}

// What a read-all of `count` registers posts: its progress register by
// register, then the values and going online.
std::vector<Posted> ReadAllMessages(int count, bool answered) {
    std::vector<Posted> out;
    for (int index = 0; index < count; ++index) {
        out.push_back({UM_READ_PROGRESS, static_cast<std::uintptr_t>(index),
                       ReadProgressParam(count, answered)});
    }
    out.push_back({UM_VALUES_CHANGED, 0, 0});
    out.push_back({UM_DEVICE_ONLINE, 0, 1});
    return out;
}

// Device values chosen so that every conversion shows: signed limits,
// a scaled offset, an unsigned output above 0x7FFF.
void LoadDevice(corvexa::sim::SimulatedTransmitter& sim) {
    const std::uint16_t words[] = {4,   2, 7,      3,    1,    300,    0xFFF6,
                                   500, 5, 0xFFF1, 1200, 2400, 0xFFF6, 3000};
    for (int i = 0; i < 14; ++i) sim.SetRegister(static_cast<std::uint16_t>(10 + i), words[i]);
}

struct ModeCase {
    bool factory;
    int reads;
};

class Handshake : public ::testing::TestWithParam<ModeCase> {};

TEST_P(Handshake, ReadsTheModesRegistersInOrderThenReportsOnline) {
    LinkRig rig(GetParam().factory);
    LoadDevice(rig.Sim());
    ASSERT_TRUE(rig.Connect());

    EXPECT_EQ(HandshakeFrames(GetParam().reads), rig.Frames());
    EXPECT_EQ(ReadAllMessages(GetParam().reads, true), rig.Sink().Messages());

    const DeviceParameters p = rig.Link().Parameters();
    EXPECT_EQ(4, p.signalSource);
    EXPECT_EQ(2, p.unit);
    EXPECT_EQ(1, p.decimals);
    EXPECT_EQ(L"30.0", p.zeroOffset);
    EXPECT_EQ(L"-10", p.lowerLimit);
    EXPECT_EQ(L"500", p.upperLimit);
    if (GetParam().factory) {
        EXPECT_EQ(5, p.gain);
        EXPECT_EQ(L"6552.1", p.tempComp);
        EXPECT_EQ(L"65526", p.zeroOutput);
        EXPECT_EQ(L"3000", p.fullOutput);
    } else {
        EXPECT_EQ(0xFFFF, p.gain);
        EXPECT_EQ(L"", p.tempComp);
        EXPECT_EQ(L"", p.fullOutput);
    }
    // The raw words too: "30.0" alone would not tell 300 from 301 at two decimals.
    const RegisterWords words = rig.Link().Words();
    EXPECT_EQ(std::optional<std::uint16_t>(7), words[kReservedIndex]);
    EXPECT_EQ(std::optional<std::uint16_t>(0xFFF6), words[kLowerLimitIndex]);
    EXPECT_EQ(GetParam().factory, words[kFullOutputIndex].has_value());
}

INSTANTIATE_TEST_SUITE_P(Modes, Handshake,
                         ::testing::Values(ModeCase{false, 8}, ModeCase{true, 14}),
                         [](const auto& info) { return info.param.factory ? "Factory" : "User"; });

TEST(TransmitterLink, SilentDeviceGetsAWriteThreeTimesOneSecondAndAGuardApartThenFailure) {
    LinkRig rig(true);
    rig.Sim().SetSilent(true);
    const auto pressed = Clock::now();
    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteZeroOffset, 125));
    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 1, 6s));
    const auto failedAfter = Clock::now() - pressed;

    EXPECT_EQ((std::vector<Posted>{{UM_WRITE_RESULT, 18, 0}}), rig.Sink().Messages());
    const auto frames = rig.Sim().Frames();
    ASSERT_EQ(3u, frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(WriteRequest(15, 125), frames[i].bytes);
        if (i > 0) {
            const auto gap = frames[i].at - frames[i - 1].at;
            EXPECT_GT(gap, 1300ms);  // time-out, then the quiet guard
            EXPECT_LT(gap, 1900ms);
        }
    }
    EXPECT_GT(failedAfter, 3700ms);
    EXPECT_LT(failedAfter, 5000ms);
}

TEST(TransmitterLink, ReadAllWithoutAnswersStillReportsOnline) {
    CTransmitterLink::Timing quick;
    quick.attempt = 20ms;
    quick.guard = 30ms;
    LinkRig rig(false, quick);
    rig.Sim().SetSilent(true);
    DeviceParameters before = rig.Link().Parameters();
    ASSERT_TRUE(rig.Link().StartReadAllTask());
    ASSERT_TRUE(rig.Sink().WaitFor(UM_DEVICE_ONLINE, 1, 5s));
    EXPECT_EQ(ReadAllMessages(8, false), rig.Sink().Messages());
    EXPECT_EQ(8u * 3u, rig.Frames().size());
    EXPECT_EQ(before, rig.Link().Parameters());
}

// Each handshake step that runs out of attempts is reported with its code,
// LinkEnd never; a lost line is reported once per connection.
TEST(TransmitterLink, ReportsASilentHandshakeAndALostPortOnce) {
    CTransmitterLink::Timing quick;
    quick.attempt = 20ms;
    quick.guard = 30ms;
    LinkRig rig(false, quick);
    rig.Sim().SetSilent(true);
    for (OperationCode code : {OperationCode::ConnectRequest, OperationCode::LinkStart}) {
        rig.Sink().Clear();
        ASSERT_TRUE(rig.Link().StartVendorTask(code));
        ASSERT_TRUE(rig.Sink().WaitFor(UM_NO_ANSWER, 1, 2s));
        EXPECT_EQ((std::vector<Posted>{{UM_NO_ANSWER, static_cast<std::uintptr_t>(code), 0}}),
                  rig.Sink().Messages());
    }
    rig.Sink().Clear();
    CTransmitterLinkTestPeer::Line(rig.Link()).OnError(nullptr, -1);
    CTransmitterLinkTestPeer::Line(rig.Link()).OnError(nullptr, -1);
    rig.Link().BeginConnection();
    CTransmitterLinkTestPeer::Line(rig.Link()).OnError(nullptr, -1);
    ASSERT_TRUE(rig.Link().EndConnection());
    CTransmitterLinkTestPeer::Line(rig.Link())
        .OnError(nullptr, -1);  // the connection is over: nothing to lose
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(2u, rig.Sink().Count(UM_PORT_LOST));
    EXPECT_EQ(0u, rig.Sink().Count(UM_NO_ANSWER));  // LinkEnd's silence is no news
}

TEST(TransmitterLink, VendorAnswersNobodyAskedForStartNothing) {
    LinkRig rig(true);
    for (int i = 0; i < 50; ++i) rig.Receive({0xFF, 0xF8, 0xFF, 0xAA, 0xFF, 0xBB});
    std::this_thread::sleep_for(300ms);  // a handshake would have sent by now
    EXPECT_TRUE(rig.Frames().empty());
    EXPECT_TRUE(rig.Sink().Messages().empty());
    EXPECT_NE(kNoReadPending, rig.Link().RegisterIndex());
}

TEST(TransmitterLink, ReadReplyAfterLinkEndChangesNoField) {
    LinkRig rig(true);
    ASSERT_TRUE(rig.Connect());
    const DeviceParameters before = rig.Link().Parameters();
    ASSERT_TRUE(rig.Link().StartVendorTask(OperationCode::LinkEnd));
    ASSERT_TRUE(rig.Sim().WaitForHandled(17, 5s));
    for (int i = 0; i < 100 && rig.Link().RegisterIndex() != kNoReadPending; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(kNoReadPending, rig.Link().RegisterIndex());

    // Sampling polls register 20 without setting the index: its replies come
    // in, yet none may land in a field.
    rig.Sim().SetRegister(20, 4321);
    rig.Link().SetZeroSampling(true);
    ASSERT_TRUE(rig.Sink().WaitFor(UM_VALUES_CHANGED, 4, 5s));
    rig.Link().SetZeroSampling(false);
    EXPECT_EQ(before, rig.Link().Parameters());
}

TEST(TransmitterLink, ZeroSamplingPollsRegister20Only) {
    LinkRig rig(true);
    rig.Sim().SetRegister(20, 777);
    rig.Link().SetRegisterIndex(kZeroSampleIndex);
    rig.Link().SetZeroSampling(true);
    ASSERT_TRUE(rig.Sink().WaitFor(UM_VALUES_CHANGED, 5, 5s));
    rig.Link().SetZeroSampling(false);
    std::this_thread::sleep_for(200ms);  // let a pass under way finish

    const auto frames = rig.Frames();
    ASSERT_GE(frames.size(), 5u);
    for (const auto& f : frames) EXPECT_EQ(ReadRequest(20), f);
    // One message per pass, each pass one read.
    EXPECT_EQ(frames.size(), rig.Sink().Count(UM_VALUES_CHANGED));
    EXPECT_EQ(L"777", rig.Link().Parameters().zeroSample);
    EXPECT_EQ(L"", rig.Link().Parameters().fullSample);
}

TEST(TransmitterLink, WriteSendsItsWordAndTakesNoVendorCode) {
    LinkRig rig(true);
    ASSERT_TRUE(rig.Connect());
    rig.Sim().ClearFrames();
    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteZeroOffset, 125));
    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 1, 5s));
    EXPECT_EQ((std::vector<Frame>{{0x01, 0x06, 0x00, 0x0F, 0x00, 0x7D, 0x79, 0xE8}}), rig.Frames());
    EXPECT_EQ(125, rig.Sim().Register(15));
    EXPECT_FALSE(rig.Link().StartWriteTask(OperationCode::LinkEnd, 0));
}

TEST(TransmitterLink, ShutdownStopsSamplingAndSendsLinkEnd) {
    LinkRig rig(true);
    rig.Link().SetRegisterIndex(kZeroSampleIndex);
    rig.Link().SetZeroSampling(true);
    ASSERT_TRUE(rig.Sink().WaitFor(UM_VALUES_CHANGED, 1, 5s));
    rig.Link().Shutdown(300ms);
    const auto frames = rig.Frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(VendorFrame(VendorCommand::LinkEnd), frames.back());
    EXPECT_EQ(kNoReadPending, rig.Link().RegisterIndex());
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(frames.size(), rig.Frames().size());  // no poll after the stop
}

}  // namespace
}  // namespace protocol::testing
