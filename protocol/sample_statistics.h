#pragma once

#include <chrono>
#include <cstddef>
#include <deque>

namespace protocol {

// One sampled reading and when it arrived (any fixed origin, e.g. a steady
// clock's epoch; only differences count).
struct TimedSample {
    std::chrono::milliseconds time{0};
    double value = 0.0;
};

// Figures over the samples of a recent span.
struct SampleSummary {
    std::size_t count = 0;
    double mean = 0.0;
    double stdDev = 0.0;          // sample standard deviation (n - 1); 0 below two samples
    double driftPerMinute = 0.0;  // least-squares slope, counts per minute; 0 below two times
};

enum class Steadiness {
    Stable,
    TooFewSamples,  // sampling has not yet run the whole span, or too few readings in it
    Spread,         // standard deviation above the band
    Drifting,       // slope above the band
};

struct StabilityVerdict {
    Steadiness steadiness = Steadiness::TooFewSamples;
    SampleSummary over;  // the figures of the judged span

    bool stable() const { return steadiness == Steadiness::Stable; }
};

// Statistics of the live sample while the technician waits for it to settle.
//
// The stability band (the defaults of Rule): over the last 5 s,
//   - the samples reach back the whole 5 s and at least 10 lie in it,
//   - the standard deviation is at most 2 counts, and
//   - the drift is at most 12 counts a minute (one count over the 5 s).
// The drift band is not tighter because a 5 s slope scatters: at the usual
// poll rate (about 13 readings a second) noise of 2 counts alone moves the
// fitted slope by about 10 counts a minute, so a tighter band would flicker
// on noise that the spread rule already accepts.
class SampleStatistics {
public:
    struct Rule {
        std::chrono::milliseconds kept{60000};         // history shown in the trend
        std::chrono::milliseconds summarySpan{10000};  // mean, deviation and drift shown
        std::chrono::milliseconds stableSpan{5000};    // span the verdict judges
        std::size_t minSamples = 10;
        double maxStdDev = 2.0;
        double maxDriftPerMinute = 12.0;
    };

    SampleStatistics() = default;
    explicit SampleStatistics(Rule rule) : m_rule(rule) {}

    // Keeps the sample and forgets those older than `kept` before it. A
    // sample earlier than the newest one, or not a finite number, is
    // refused (false): it would bend the slope.
    bool Add(std::chrono::milliseconds time, double value);
    void Clear() { m_samples.clear(); }

    const std::deque<TimedSample>& Samples() const { return m_samples; }
    const Rule& Rules() const { return m_rule; }

    // Figures of the samples within `span` before the newest one (inclusive).
    SampleSummary Over(std::chrono::milliseconds span) const;
    // Over the summary span (10 s).
    SampleSummary Recent() const { return Over(m_rule.summarySpan); }
    StabilityVerdict Verdict() const;

private:
    Rule m_rule;
    std::deque<TimedSample> m_samples;
};

}  // namespace protocol
