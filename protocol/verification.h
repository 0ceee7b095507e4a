#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/output_trim.h"

namespace protocol {

// Before any change (as found) or after the adjustment (as left).
enum class VerificationStage { AsFound, AsLeft };
std::string StageName(VerificationStage stage);  // "as-found", "as-left"
std::optional<VerificationStage> ParseStageName(std::string_view name);

// How one verification is run: the configured range in the device's unit,
// the output it drives, the tolerance in % of the output's span and the
// test points in % of the range, in the order they are applied (up and down
// again for hysteresis).
struct VerificationPlan {
    double lower = 0.0;
    double upper = 100.0;
    OutputSignal output = OutputSignal::Current4To20mA;
    double tolerancePercent = 0.25;
    std::vector<double> percents{0, 25, 50, 75, 100};
};

inline constexpr int kMinTestPoints = 3;
inline constexpr int kMaxTestPoints = 11;
inline constexpr double kDefaultTolerancePercent = 0.25;

enum class PlanProblem {
    None,
    ZeroSpan,         // lower and upper limit equal: no output slope
    TooFewPoints,     // fewer than 3
    TooManyPoints,    // more than 11
    PointOutOfRange,  // a point outside 0..100 %
    BadTolerance,     // not above 0, or above 100 % of span
};
PlanProblem CheckPlan(const VerificationPlan& plan);
// English words for a refusal; empty for None.
std::wstring DescribePlanProblem(PlanProblem problem);

// "0,25,50,75,100" (blanks allowed around the numbers); nothing when a part
// is not a number. The count and range are CheckPlan's to judge.
std::optional<std::vector<double>> ParsePercents(std::string_view text);
std::string PercentsText(const std::vector<double>& percents);

// The input at a test point: L + p/100 (U - L).
double NominalInput(const VerificationPlan& plan, double percent);
// What the output should read at an applied input x:
//   4 + 16 (x - L) / (U - L) mA, or 10 (x - L) / (U - L) V.
double ExpectedOutput(const VerificationPlan& plan, double applied);
// (measured - expected) / span of the output x 100; the span is 16 mA or 10 V.
double ErrorPercentOfSpan(const VerificationPlan& plan, double expected, double measured);

struct PointResult {
    double percent = 0.0;
    double applied = 0.0;
    double expected = 0.0;
    double measured = 0.0;
    double errorPercent = 0.0;
    bool pass = false;  // |error| <= tolerance
};
PointResult EvaluatePoint(const VerificationPlan& plan, double percent, double applied,
                          double measured);

// One verification as it was run: its plan and the points measured so far.
struct VerificationRun {
    VerificationStage stage = VerificationStage::AsFound;
    VerificationPlan plan;
    std::vector<PointResult> points;

    bool Complete() const { return points.size() == plan.percents.size(); }
    // Every point of the plan measured and in tolerance.
    bool Passed() const;
    // The largest |error| of the points measured, in % of span.
    double WorstError() const;
};

}  // namespace protocol
