#include "protocol/verification.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace protocol {

std::string StageName(VerificationStage stage) {
    return stage == VerificationStage::AsLeft ? "as-left" : "as-found";
}

std::optional<VerificationStage> ParseStageName(std::string_view name) {
    if (name == "as-found") return VerificationStage::AsFound;
    if (name == "as-left") return VerificationStage::AsLeft;
    return std::nullopt;
}

PlanProblem CheckPlan(const VerificationPlan& plan) {
    if (!std::isfinite(plan.lower) || !std::isfinite(plan.upper) || plan.lower == plan.upper)
        return PlanProblem::ZeroSpan;
    if (plan.percents.size() < static_cast<std::size_t>(kMinTestPoints))
        return PlanProblem::TooFewPoints;
    if (plan.percents.size() > static_cast<std::size_t>(kMaxTestPoints))
        return PlanProblem::TooManyPoints;
    for (double p : plan.percents)
        if (!std::isfinite(p) || p < 0.0 || p > 100.0) return PlanProblem::PointOutOfRange;
    if (!std::isfinite(plan.tolerancePercent) || plan.tolerancePercent <= 0.0 ||
        plan.tolerancePercent > 100.0)
        return PlanProblem::BadTolerance;
    return PlanProblem::None;
}

std::wstring DescribePlanProblem(PlanProblem problem) {
    switch (problem) {
        case PlanProblem::ZeroSpan:
            return L"the lower and upper limit are equal, so the range has no span";
        case PlanProblem::TooFewPoints:
            return L"a verification takes at least 3 test points";
        case PlanProblem::TooManyPoints:
            return L"a verification takes at most 11 test points";
        case PlanProblem::PointOutOfRange:
            return L"test points lie between 0 and 100 % of the range";
        case PlanProblem::BadTolerance:
            return L"the tolerance is a number above 0 and at most 100 % of span";
        case PlanProblem::None:
            break;
    }
    return {};
}

std::optional<std::vector<double>> ParsePercents(std::string_view text) {
    std::vector<double> percents;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        std::string_view part = text.substr(start, comma - start);
        while (!part.empty() && part.front() == ' ') part.remove_prefix(1);
        while (!part.empty() && part.back() == ' ') part.remove_suffix(1);
        double value = 0.0;
        const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || ec != std::errc() || end != part.data() + part.size())
            return std::nullopt;
        percents.push_back(value);
        start = comma + 1;
    }
    return percents;
}

std::string PercentsText(const std::vector<double>& percents) {
    std::string text;
    for (double p : percents) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%g", p);
        if (!text.empty()) text += ',';
        text += buffer;
    }
    return text;
}

double NominalInput(const VerificationPlan& plan, double percent) {
    return plan.lower + percent / 100.0 * (plan.upper - plan.lower);
}

namespace {

double OutputSpan(OutputSignal output) {
    const OutputTargets t = TargetsOf(output);
    return t.full - t.zero;
}

}  // namespace

double ExpectedOutput(const VerificationPlan& plan, double applied) {
    const OutputTargets t = TargetsOf(plan.output);
    return t.zero + (t.full - t.zero) * (applied - plan.lower) / (plan.upper - plan.lower);
}

double ErrorPercentOfSpan(const VerificationPlan& plan, double expected, double measured) {
    return (measured - expected) / OutputSpan(plan.output) * 100.0;
}

PointResult EvaluatePoint(const VerificationPlan& plan, double percent, double applied,
                          double measured) {
    PointResult r;
    r.percent = percent;
    r.applied = applied;
    r.measured = measured;
    r.expected = ExpectedOutput(plan, applied);
    r.errorPercent = ErrorPercentOfSpan(plan, r.expected, measured);
    // A hair of slack so that an error typed exactly at the tolerance
    // (0.04 mA on 16 mA is 0.25 %) is not failed by the last binary digit.
    r.pass = std::isfinite(r.errorPercent) &&
             std::fabs(r.errorPercent) <= plan.tolerancePercent * (1.0 + 1e-9);
    return r;
}

bool VerificationRun::Passed() const {
    return Complete() &&
           std::all_of(points.begin(), points.end(), [](const PointResult& p) { return p.pass; });
}

double VerificationRun::WorstError() const {
    double worst = 0.0;
    for (const PointResult& p : points) worst = std::max(worst, std::fabs(p.errorPercent));
    return worst;
}

}  // namespace protocol
