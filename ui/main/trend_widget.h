#pragma once

#include <QWidget>
#include <chrono>

#include "protocol/sample_statistics.h"

class CStabilityMark;
class QChart;
class QLabel;
class QLineSeries;
class QValueAxis;

// The live sample over the last 60 s, with the mean, standard deviation and
// drift of the last 10 s beside it and the stability mark under them.
class CTrendWidget : public QWidget {
public:
    explicit CTrendWidget(QWidget* parent = nullptr);

    // One reading as it arrives; `time` from a steady clock.
    void AddSample(std::chrono::milliseconds time, double value);
    // A new sampling run starts with an empty chart.
    void Clear();
    void RefreshTexts();

    const protocol::SampleStatistics& Statistics() const { return m_stats; }
    const CStabilityMark& Mark() const { return *m_mark; }

private:
    void Redraw();

    protocol::SampleStatistics m_stats;
    QChart* m_chart;
    QLineSeries* m_series;
    QValueAxis* m_timeAxis;
    QValueAxis* m_valueAxis;
    QLabel* m_figures;
    CStabilityMark* m_mark;
};
