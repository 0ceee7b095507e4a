#pragma once

#include <QLabel>

#include "protocol/sample_statistics.h"

// A coloured dot and a word saying whether the live sample has settled:
// green "Stable", orange "Not stable", grey while too few readings are in.
// Made to sit next to a sample's Modify button as well as in the trend.
class CStabilityMark : public QLabel {
public:
    explicit CStabilityMark(QWidget* parent = nullptr);

    void SetVerdict(const protocol::StabilityVerdict& verdict);
    const protocol::StabilityVerdict& Verdict() const { return m_verdict; }
    bool Stable() const { return m_verdict.stable(); }
    // Texts of the loaded language.
    void RefreshTexts();

    // Main text number of a verdict: stable, not stable, or waiting.
    static int TextId(const protocol::StabilityVerdict& verdict);

private:
    protocol::StabilityVerdict m_verdict;
};
