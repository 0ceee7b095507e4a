#include "protocol/calibration_session.h"

#include <gtest/gtest.h>

namespace protocol {
namespace {

TEST(CalibrationSession, WritesCompleteInOrderAndTheComparisonMarksChanges) {
    RegisterWords found{};
    found[kZeroOffsetIndex] = 300;
    found[kZeroOutputIndex] = 6000;
    found[kFullOutputIndex] = 30000;
    found[kFullSampleIndex] = 9000;
    CalibrationSession session;
    const WallClock::time_point t0{std::chrono::seconds(1'800'000'000)};
    session.BeginWrite(t0, OperationCode::WriteZeroOutput, L"0", L"1");  // forgotten by Start
    session.Start(t0, L"/dev/ttyUSB0", found);
    EXPECT_TRUE(session.Writes().empty());

    session.BeginWrite(t0, OperationCode::WriteZeroOutput, L"6000", L"5847");
    session.BeginWrite(t0, OperationCode::WriteZeroOutput, L"5847", L"5850");
    session.BeginWrite(t0, OperationCode::WriteFullOutput, L"30000", L"30306");
    EXPECT_TRUE(session.CompleteWrite(OperationCode::WriteFullOutput, false));
    EXPECT_TRUE(session.CompleteWrite(OperationCode::WriteZeroOutput, true));
    EXPECT_FALSE(session.CompleteWrite(OperationCode::WriteFullOutput, true));
    ASSERT_EQ(3u, session.Writes().size());
    EXPECT_EQ(WriteOutcome::Succeeded, session.Writes()[0].outcome);
    EXPECT_EQ(WriteOutcome::Pending, session.Writes()[1].outcome);
    EXPECT_EQ(WriteOutcome::Failed, session.Writes()[2].outcome);

    RegisterWords left = found;
    left[kZeroOutputIndex] = 5847;
    left[kFullOutputIndex].reset();  // could not be read back
    left[kFullSampleIndex] = 9004;   // the live input drifted: nobody wrote it
    const auto rows = session.Compare(left);
    ASSERT_EQ(static_cast<std::size_t>(kRegisterCount), rows.size());
    EXPECT_EQ(ParameterChange::Same, rows[kZeroOffsetIndex].change);
    EXPECT_EQ(ParameterChange::Changed, rows[kZeroOutputIndex].change);
    EXPECT_EQ(ParameterChange::Unknown, rows[kFullOutputIndex].change);
    EXPECT_EQ(ParameterChange::Same, rows[kFullSampleIndex].change);
    EXPECT_EQ(ParameterChange::Unknown, rows[kGainIndex].change);  // read on neither side
}

}  // namespace
}  // namespace protocol
