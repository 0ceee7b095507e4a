#include "protocol/verification.h"

#include <gtest/gtest.h>

#include "protocol/calibration_identity.h"

namespace protocol {
namespace {

constexpr auto mA = OutputSignal::Current4To20mA;
constexpr auto V = OutputSignal::Voltage0To10V;

// Worked by hand: expected = 4 + 16 (x - L)/(U - L) mA or 10 (x - L)/(U - L) V,
// error = (measured - expected) / 16 mA or 10 V x 100, pass at |error| <= 0.25.
TEST(Verification, PointsAgainstHandComputedValues) {
    struct Case {
        double lower, upper;
        OutputSignal output;
        double applied, measured;
        double expected, error;
        bool pass;
    } cases[] = {
        {-50, 150, mA, -50, 4.02, 4.0, 0.125, true},
        {-50, 150, mA, 0, 8.05, 8.0, 0.3125, false},
        {-50, 150, mA, 50, 11.96, 12.0, -0.25, true},  // exactly at the tolerance
        {-50, 150, mA, 150, 20.0, 20.0, 0.0, true},
        {-50, 150, mA, 25.3, 10.0, 10.024, -0.15, true},  // applied off the nominal point
        {-50, 150, V, 50, 5.03, 5.0, 0.3, false},
        {-50, 150, V, -50, -0.02, 0.0, -0.2, true},
        {150, -50, mA, 150, 4.0, 4.0, 0.0, true},  // a range read from the top down
        {150, -50, mA, 0, 16.1, 16.0, 0.625, false},
        {150, -50, V, -50, 9.99, 10.0, -0.1, true},
    };
    for (const Case& c : cases) {
        VerificationPlan plan;
        plan.lower = c.lower;
        plan.upper = c.upper;
        plan.output = c.output;
        const PointResult r = EvaluatePoint(plan, 0, c.applied, c.measured);
        SCOPED_TRACE(testing::Message() << c.lower << ".." << c.upper << " at " << c.applied);
        EXPECT_NEAR(c.expected, r.expected, 1e-9);
        EXPECT_NEAR(c.error, r.errorPercent, 1e-9);
        EXPECT_EQ(c.pass, r.pass);
    }
    VerificationPlan plan;
    plan.lower = -50;
    plan.upper = 150;
    EXPECT_DOUBLE_EQ(0.0, NominalInput(plan, 25));
    EXPECT_DOUBLE_EQ(100.0, NominalInput(plan, 75));
}

TEST(Verification, PlansAndPointListsThatAreRefused) {
    const auto plan = [](double lower, double upper, std::vector<double> percents,
                         double tolerance = 0.25) {
        VerificationPlan p;
        p.lower = lower;
        p.upper = upper;
        p.percents = std::move(percents);
        p.tolerancePercent = tolerance;
        return CheckPlan(p);
    };
    EXPECT_EQ(PlanProblem::None, plan(-50, 150, {0, 25, 50, 75, 100, 75, 50, 25, 0}));
    EXPECT_EQ(PlanProblem::ZeroSpan, plan(100, 100, {0, 50, 100}));
    EXPECT_EQ(PlanProblem::TooFewPoints, plan(0, 100, {0, 100}));
    EXPECT_EQ(PlanProblem::TooManyPoints, plan(0, 100, std::vector<double>(12, 50.0)));
    EXPECT_EQ(PlanProblem::PointOutOfRange, plan(0, 100, {0, 50, 101}));
    EXPECT_EQ(PlanProblem::BadTolerance, plan(0, 100, {0, 50, 100}, 0));
    EXPECT_FALSE(DescribePlanProblem(PlanProblem::ZeroSpan).empty());

    EXPECT_EQ((std::vector<double>{0, 25, 50.5}), ParsePercents(" 0, 25 ,50.5"));
    for (const char* bad : {"", "0,,50", "0,abc", "0;50;100", "0,50,"})
        EXPECT_FALSE(ParsePercents(bad)) << bad;
    EXPECT_EQ("0,25,50.5", PercentsText({0, 25, 50.5}));
}

TEST(Verification, ARunPassesOnlyWhenEveryPointIsMeasuredAndInTolerance) {
    VerificationRun run;
    run.plan.percents = {0, 50, 100};
    run.points = {EvaluatePoint(run.plan, 0, 0, 4.01), EvaluatePoint(run.plan, 50, 50, 12.0)};
    EXPECT_FALSE(run.Passed());  // a point still to measure
    run.points.push_back(EvaluatePoint(run.plan, 100, 100, 20.0));
    EXPECT_TRUE(run.Passed());
    run.points[1] = EvaluatePoint(run.plan, 50, 50, 12.1);
    EXPECT_FALSE(run.Passed());
    EXPECT_NEAR(0.625, run.WorstError(), 1e-9);
}

TEST(ReferenceInstrument, ExpiryAndTheSettingsForm) {
    const auto until = [](const char* date) {
        return ReferenceInstrument{"Meter", "8846A", "S1", date, ReferenceKind::OutputMeter};
    };
    EXPECT_FALSE(ReferenceExpired(until("2026-12-09"), "2026-12-09"));  // holds through its day
    EXPECT_TRUE(ReferenceExpired(until("2026-12-08"), "2026-12-09"));
    EXPECT_FALSE(ReferenceExpired(until("2027-01-31"), "2026-12-09"));
    for (const char* bad : {"", "2026-02-30", "2026-13-01", "09.12.2026", "2026-1-05"})
        EXPECT_TRUE(ReferenceExpired(until(bad), "2026-12-09")) << bad;
    EXPECT_TRUE(ValidDate("2024-02-29"));
    EXPECT_FALSE(ValidDate("2023-02-29"));

    ReferenceInstrument source{"Calibrator|A", "726", "9 9", "2027-06-30",
                               ReferenceKind::InputSource};
    const auto back = DecodeReference(EncodeReference(source));
    ASSERT_TRUE(back);
    EXPECT_EQ("Calibrator/A", back->name);
    EXPECT_EQ(ReferenceKind::InputSource, back->kind);
    EXPECT_EQ("2027-06-30", back->calibratedUntil);
    EXPECT_FALSE(DecodeReference("a|b|c|2027-01-01"));
    EXPECT_FALSE(DecodeReference("a|b|c|2027-01-01|gauge"));
}

}  // namespace
}  // namespace protocol
