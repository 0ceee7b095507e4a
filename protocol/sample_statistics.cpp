#include "protocol/sample_statistics.h"

#include <cmath>
#include <iterator>

namespace protocol {

bool SampleStatistics::Add(std::chrono::milliseconds time, double value) {
    if (!std::isfinite(value)) return false;
    if (!m_samples.empty() && time < m_samples.back().time) return false;
    m_samples.push_back({time, value});
    while (m_samples.front().time < time - m_rule.kept) m_samples.pop_front();
    return true;
}

SampleSummary SampleStatistics::Over(std::chrono::milliseconds span) const {
    SampleSummary summary;
    if (m_samples.empty()) return summary;
    const auto from = m_samples.back().time - span;
    auto first = m_samples.end();
    while (first != m_samples.begin() && std::prev(first)->time >= from) --first;

    // Two passes about the means: raw words near 65535 and times of hours
    // would lose digits in one-pass sums.
    double sumValue = 0.0;
    double sumSeconds = 0.0;
    for (auto it = first; it != m_samples.end(); ++it) {
        sumValue += it->value;
        sumSeconds += std::chrono::duration<double>(it->time - from).count();
        ++summary.count;
    }
    if (summary.count == 0) return summary;
    const double n = static_cast<double>(summary.count);
    summary.mean = sumValue / n;
    const double meanSeconds = sumSeconds / n;

    double squares = 0.0;
    double timeSquares = 0.0;
    double products = 0.0;
    for (auto it = first; it != m_samples.end(); ++it) {
        const double dv = it->value - summary.mean;
        const double dt = std::chrono::duration<double>(it->time - from).count() - meanSeconds;
        squares += dv * dv;
        timeSquares += dt * dt;
        products += dt * dv;
    }
    if (summary.count > 1) summary.stdDev = std::sqrt(squares / (n - 1.0));
    if (timeSquares > 0.0) summary.driftPerMinute = products / timeSquares * 60.0;
    return summary;
}

StabilityVerdict SampleStatistics::Verdict() const {
    StabilityVerdict verdict;
    verdict.over = Over(m_rule.stableSpan);
    const bool spanCovered =
        !m_samples.empty() && m_samples.front().time <= m_samples.back().time - m_rule.stableSpan;
    if (!spanCovered || verdict.over.count < m_rule.minSamples)
        verdict.steadiness = Steadiness::TooFewSamples;
    else if (verdict.over.stdDev > m_rule.maxStdDev)
        verdict.steadiness = Steadiness::Spread;
    else if (std::fabs(verdict.over.driftPerMinute) > m_rule.maxDriftPerMinute)
        verdict.steadiness = Steadiness::Drifting;
    else
        verdict.steadiness = Steadiness::Stable;
    return verdict;
}

}  // namespace protocol
