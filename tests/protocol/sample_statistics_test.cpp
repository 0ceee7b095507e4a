#include "protocol/sample_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

namespace protocol {
namespace {

using std::chrono::milliseconds;

struct TrendCase {
    const char* name;
    std::function<double(double seconds)> signal;
    int lengthMs;  // sampling ran this long, one reading every periodMs
    int periodMs;
    Steadiness verdict;
    double mean, stdDev, drift;  // over the last 10 s; NAN: not checked
};

TEST(SampleStatistics, TrendsGiveTheirFiguresAndVerdicts) {
    const auto constant = [](double) { return 1000.0; };
    const auto alternate = [](double amplitude) {
        return [amplitude](double t) {
            return 1000.0 + (std::lround(t / 0.08) % 2 ? amplitude : -amplitude);
        };
    };
    const std::vector<TrendCase> cases = {
        {"constant", constant, 12000, 80, Steadiness::Stable, 1000, 0, 0},
        {"ramp 60/min", [](double t) { return 1000 + t; }, 12000, 80, Steadiness::Drifting, 1006.92,
         2.92, 60},
        {"ramp 6/min", [](double t) { return 1000 + 0.1 * t; }, 12000, 80, Steadiness::Stable, NAN,
         NAN, 6},
        {"ramp 18/min", [](double t) { return 1000 + 0.3 * t; }, 12000, 80, Steadiness::Drifting,
         NAN, NAN, 18},
        {"noise +-1", alternate(1), 12000, 80, Steadiness::Stable, 1000, 1.004, NAN},
        {"noise +-4", alternate(4), 12000, 80, Steadiness::Spread, 1000, 4.016, NAN},
        {"step 3 s ago", [](double t) { return t < 9 ? 1000.0 : 1100.0; }, 12000, 80,
         Steadiness::Spread, NAN, NAN, NAN},
        // The last 5 s are settled, though the 10 s figures still see the step.
        {"step 6 s ago", [](double t) { return t < 6 ? 1000.0 : 1100.0; }, 12000, 80,
         Steadiness::Stable, 1059.52, NAN, NAN},
        {"sampling for 4 s only", constant, 4000, 80, Steadiness::TooFewSamples, 1000, 0, 0},
        {"a reading a second", constant, 12000, 1000, Steadiness::TooFewSamples, 1000, 0, 0},
    };
    for (const TrendCase& c : cases) {
        SampleStatistics stats;
        for (int ms = 0; ms < c.lengthMs; ms += c.periodMs)
            stats.Add(milliseconds(ms), c.signal(ms / 1000.0));
        const SampleSummary recent = stats.Recent();
        EXPECT_EQ(c.verdict, stats.Verdict().steadiness) << c.name;
        if (!std::isnan(c.mean)) {
            EXPECT_NEAR(c.mean, recent.mean, 0.01) << c.name;
        }
        if (!std::isnan(c.stdDev)) {
            EXPECT_NEAR(c.stdDev, recent.stdDev, 0.01) << c.name;
        }
        if (!std::isnan(c.drift)) {
            EXPECT_NEAR(c.drift, recent.driftPerMinute, 0.05) << c.name;
        }
    }
}

TEST(SampleStatistics, KeepsOneMinuteAndRefusesReadingsThatGoBackInTime) {
    SampleStatistics stats;
    for (int s = 0; s <= 90; ++s) ASSERT_TRUE(stats.Add(milliseconds(s * 1000), s));
    EXPECT_EQ(milliseconds(30000), stats.Samples().front().time);
    EXPECT_EQ(61u, stats.Samples().size());
    EXPECT_FALSE(stats.Add(milliseconds(89000), 5));
    EXPECT_FALSE(stats.Add(milliseconds(91000), NAN));
    EXPECT_EQ(90.0, stats.Samples().back().value);
}

}  // namespace
}  // namespace protocol
