#include "ui/main/trend_widget.h"

#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "ui/main/calibration_text_ids.h"
#include "ui/main/main_text.h"
#include "ui/main/stability_mark.h"

using namespace calibtext;

namespace {
// Four drawings a second look live; each costs the geometry of every point.
constexpr int kRedrawMs = 250;
constexpr int kFigureNames[3] = {kTxtMean, kTxtStdDev, kTxtDrift};
}  // namespace

CTrendWidget::CTrendWidget(QWidget* parent)
    : QWidget(parent),
      m_chart(new QChart),
      m_series(new QLineSeries),
      m_timeAxis(new QValueAxis),
      m_valueAxis(new QValueAxis),
      m_mark(new CStabilityMark) {
    setObjectName(QStringLiteral("trend"));
    m_chart->legend()->hide();
    m_chart->setMargins(QMargins(2, 2, 2, 2));
    m_chart->setBackgroundRoundness(0);
    m_chart->addSeries(m_series);
    // Seconds before the newest reading.
    m_timeAxis->setRange(-60, 0);
    m_timeAxis->setTickCount(7);
    m_timeAxis->setLabelFormat(QStringLiteral("%d"));
    m_valueAxis->setLabelFormat(QStringLiteral("%d"));
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    m_chart->addAxis(m_valueAxis, Qt::AlignLeft);
    m_series->attachAxis(m_timeAxis);
    m_series->attachAxis(m_valueAxis);

    auto* view = new QChartView(m_chart);
    view->setObjectName(QStringLiteral("trendChart"));
    view->setRenderHint(QPainter::Antialiasing);
    view->setFocusPolicy(Qt::NoFocus);  // nothing to type into: Tab goes past it
    view->setMinimumSize(260, 140);

    // Plain labels in a grid: a changed figure lays out one label, not a table.
    auto* figures = new QWidget;
    figures->setObjectName(QStringLiteral("trendFigures"));
    figures->setMinimumWidth(150);
    auto* grid = new QGridLayout(figures);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    for (int row = 0; row < 3; ++row) {
        m_figureNames[row] = new QLabel;
        m_figureValues[row] = new QLabel;
        for (QLabel* label : {m_figureNames[row], m_figureValues[row]})
            label->setTextFormat(Qt::PlainText);
        m_figureValues[row]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(m_figureNames[row], row, 0);
        grid->addWidget(m_figureValues[row], row, 1);
    }
    grid->setColumnStretch(2, 1);
    auto* side = new QVBoxLayout;
    side->setContentsMargins(4, 4, 8, 4);
    side->addWidget(figures);
    side->addWidget(m_mark);
    side->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view, 1);
    layout->addLayout(side);

    m_redrawTimer.setSingleShot(true);
    m_redrawTimer.setInterval(kRedrawMs);
    connect(&m_redrawTimer, &QTimer::timeout, this, [this] { Redraw(); });
    RefreshTexts();
}

void CTrendWidget::AddSample(std::chrono::milliseconds time, double value) {
    if (!m_stats.Add(time, value)) return;
    m_mark->SetVerdict(m_stats.Verdict());
    if (!m_redrawTimer.isActive()) m_redrawTimer.start();
}

void CTrendWidget::Clear() {
    m_stats.Clear();
    Redraw();
}

void CTrendWidget::RefreshTexts() {
    m_chart->setTitle(MainText(kTxtLast60s));
    for (int row = 0; row < 3; ++row) m_figureNames[row]->setText(MainText(kFigureNames[row]));
    Redraw();
}

void CTrendWidget::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_stale) Redraw();
}

void CTrendWidget::Redraw() {
    m_redrawTimer.stop();
    m_mark->SetVerdict(m_stats.Verdict());
    ShowFigures();
    m_stale = !isVisible();
    if (m_stale) return;
    const auto& samples = m_stats.Samples();
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(samples.size()));
    double low = 0.0;
    double high = 0.0;
    if (!samples.empty()) {
        low = high = samples.back().value;
        for (const protocol::TimedSample& s : samples) {
            points.append(QPointF(
                std::chrono::duration<double>(s.time - samples.back().time).count(), s.value));
            low = std::min(low, s.value);
            high = std::max(high, s.value);
        }
    }
    m_series->replace(points);
    // A few counts of room, so a still reading is a visible line and not the
    // frame. Each new range lays out the whole chart again, so the axis moves
    // only when a reading left it or it grew three times too wide.
    const double room = std::max(3.0, (high - low) * 0.1);
    const bool outside = low < m_valueAxis->min() || high > m_valueAxis->max();
    const bool tooWide = m_valueAxis->max() - m_valueAxis->min() > 3 * (high - low + 2 * room);
    if (!m_rangeSet || outside || tooWide) {
        m_rangeSet = true;
        m_valueAxis->setRange(std::floor(low - room), std::ceil(high + room));
        m_valueAxis->applyNiceNumbers();
    }
}

void CTrendWidget::ShowFigures() {
    const protocol::SampleSummary recent = m_stats.Recent();
    const bool any = recent.count > 0;
    const QString none = QStringLiteral("–");
    m_figureValues[0]->setText(any ? QString::number(recent.mean, 'f', 1) : none);
    m_figureValues[1]->setText(any ? QString::number(recent.stdDev, 'f', 2) : none);
    m_figureValues[2]->setText(any ? QString::number(recent.driftPerMinute, 'f', 1) : none);
}
