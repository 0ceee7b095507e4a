// A reply completes only its own request, and a connection's tasks end with it.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "link_rig.h"

namespace protocol::testing {
namespace {

using corvexa::sim::FaultModes;

// The real time-out and guard; one attempt keeps these tests short.
CTransmitterLink::Timing OneAttempt() {
    CTransmitterLink::Timing timing;
    timing.attempts = 1;
    return timing;
}

void SetSlowRegister(corvexa::sim::SimulatedTransmitter& sim, std::uint16_t reg,
                     std::chrono::milliseconds delay) {
    FaultModes faults = sim.Faults();
    faults.slowRegister = reg;
    faults.slowDelay = delay;
    sim.SetFaults(faults);
}

TEST(LinkExactReplies, EchoComingLateDoesNotCompleteTheNextWrite) {
    LinkRig rig(true, OneAttempt());
    SetSlowRegister(rig.Sim(), 16, 1100ms);
    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteLowerLimit, 5));
    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 1, 3s));
    // The device now ignores requests; its echo of the first write is still
    // on its way and equals the second write's request.
    rig.Sim().SetSilent(true);
    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteLowerLimit, 5));
    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 2, 4s));
    EXPECT_EQ((std::vector<Posted>{{UM_WRITE_RESULT, 19, 0}, {UM_WRITE_RESULT, 19, 0}}),
              rig.Sink().Messages());
}

TEST(LinkExactReplies, LateReadReplyFailsItsRegisterAndShiftsNoOtherField) {
    LinkRig rig(false, OneAttempt());
    const std::uint16_t words[] = {4, 2, 7, 3, 0, 11, 12, 13};
    for (int i = 0; i < 8; ++i) rig.Sim().SetRegister(static_cast<std::uint16_t>(10 + i), words[i]);
    SetSlowRegister(rig.Sim(), 15, 1150ms);
    ASSERT_TRUE(rig.Connect());

    const DeviceParameters p = rig.Link().Parameters();
    EXPECT_EQ(4, p.signalSource);
    EXPECT_EQ(2, p.unit);
    EXPECT_EQ(3, p.baudCode);
    EXPECT_EQ(0, p.decimals);
    EXPECT_EQ(L"", p.zeroOffset);  // register 15 never answered in time
    EXPECT_EQ(L"12", p.lowerLimit);
    EXPECT_EQ(L"13", p.upperLimit);
}

TEST(LinkExactReplies, EchoThatDiffersFromTheRequestIsAFailure) {
    CTransmitterLink::Timing quick;
    quick.attempt = 150ms;
    LinkRig rig(true, quick);
    FaultModes faults;
    faults.alterEcho = true;
    rig.Sim().SetFaults(faults);
    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteUpperLimit, 600));
    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 1, 5s));
    EXPECT_EQ(Posted({UM_WRITE_RESULT, 20, 0}), rig.Sink().Messages().back());
    EXPECT_EQ(3u, rig.Frames().size());
}

TEST(LinkExactReplies, StrayEchoHeaderBeforeEachReplyLosesNoReply) {
    LinkRig rig(false);
    const std::uint16_t words[] = {4, 2, 7, 3, 1, 300, 0xFFF6, 500};
    for (int i = 0; i < 8; ++i) rig.Sim().SetRegister(static_cast<std::uint16_t>(10 + i), words[i]);
    FaultModes faults;
    faults.strayPrefix = {0x01, 0x06};
    rig.Sim().SetFaults(faults);
    ASSERT_TRUE(rig.Connect());

    EXPECT_EQ(2u + 8u, rig.Frames().size()) << "not one attempt may be repeated";
    const DeviceParameters p = rig.Link().Parameters();
    EXPECT_EQ(L"30.0", p.zeroOffset);
    EXPECT_EQ(L"-10", p.lowerLimit);
    EXPECT_EQ(L"500", p.upperLimit);
}

TEST(LinkConnections, EndConnectionSendsLinkEndNextAndEndsItsTasks) {
    LinkRig rig(true);
    rig.Sim().SetSilent(true);
    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteGain, 2));
    ASSERT_TRUE(rig.Link().StartReadAllTask());
    ASSERT_TRUE(rig.Sim().WaitForFrames(1, 2s));

    const auto ended = Clock::now();
    ASSERT_TRUE(rig.Link().EndConnection());
    EXPECT_FALSE(rig.Link().StartWriteTask(OperationCode::WriteGain, 3));
    // The write's attempt on the line runs out (at most 1 s), then LinkEnd.
    ASSERT_TRUE(rig.Link().WaitLinkEndWritten(1500ms));
    EXPECT_LT(Clock::now() - ended, 1500ms);
    ASSERT_TRUE(rig.Sim().WaitForFrames(2, 1s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ((std::vector<Frame>{WriteRequest(18, 2), VendorFrame(VendorCommand::LinkEnd)}),
              rig.Frames());
    EXPECT_TRUE(rig.Sink().Messages().empty());
    EXPECT_FALSE(rig.Link().EndConnection());

    // A new connection: the old tasks stay gone, new ones run.
    rig.Link().BeginConnection();
    rig.Sim().SetSilent(false);
    rig.Sim().ClearFrames();
    ASSERT_TRUE(rig.Link().StartWriteTask(OperationCode::WriteGain, 4));
    ASSERT_TRUE(rig.Sink().WaitFor(UM_WRITE_RESULT, 1, 3s));
    EXPECT_EQ((std::vector<Posted>{{UM_WRITE_RESULT, 21, 1}}), rig.Sink().Messages());
    EXPECT_EQ((std::vector<Frame>{WriteRequest(18, 4)}), rig.Frames());
}

}  // namespace
}  // namespace protocol::testing
