#pragma once

#include <QTimer>
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
//
// Readings come up to 16 times a second; the chart and the figures are
// drawn at most a few times a second (and not while hidden), the mark with
// every reading.
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

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Redraw();
    void ShowFigures();

    protocol::SampleStatistics m_stats;
    QChart* m_chart;
    QLineSeries* m_series;
    QValueAxis* m_timeAxis;
    QValueAxis* m_valueAxis;
    bool m_rangeSet = false;  // the value axis was fitted to the readings once
    QLabel* m_figureNames[3];
    QLabel* m_figureValues[3];
    CStabilityMark* m_mark;
    QTimer m_redrawTimer;  // single shot: readings came since the last drawing
    bool m_stale = false;  // a drawing was skipped while hidden
};
