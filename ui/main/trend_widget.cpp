#include "ui/main/trend_widget.h"

#include <QChart>
#include <QChartView>
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

CTrendWidget::CTrendWidget(QWidget* parent)
    : QWidget(parent),
      m_chart(new QChart),
      m_series(new QLineSeries),
      m_timeAxis(new QValueAxis),
      m_valueAxis(new QValueAxis),
      m_figures(new QLabel),
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

    m_figures->setObjectName(QStringLiteral("trendFigures"));
    m_figures->setTextFormat(Qt::RichText);
    m_figures->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_figures->setMinimumWidth(150);
    auto* side = new QVBoxLayout;
    side->setContentsMargins(4, 4, 8, 4);
    side->addWidget(m_figures);
    side->addWidget(m_mark);
    side->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view, 1);
    layout->addLayout(side);
    RefreshTexts();
}

void CTrendWidget::AddSample(std::chrono::milliseconds time, double value) {
    if (m_stats.Add(time, value)) Redraw();
}

void CTrendWidget::Clear() {
    m_stats.Clear();
    Redraw();
}

void CTrendWidget::RefreshTexts() {
    m_chart->setTitle(MainText(kTxtLast60s));
    Redraw();
}

void CTrendWidget::Redraw() {
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
    // A few counts of room, so a still reading is a visible line and not the frame.
    const double room = std::max(3.0, (high - low) * 0.1);
    m_valueAxis->setRange(std::floor(low - room), std::ceil(high + room));
    m_valueAxis->applyNiceNumbers();

    const protocol::SampleSummary recent = m_stats.Recent();
    const auto row = [](int textId, const QString& value) {
        return QStringLiteral("<tr><td>%1</td><td align=\"right\">&nbsp;%2</td></tr>")
            .arg(MainText(textId).toHtmlEscaped(), value);
    };
    const bool any = recent.count > 0;
    m_figures->setText(
        QStringLiteral("<table>") +
        row(kTxtMean, any ? QString::number(recent.mean, 'f', 1) : QStringLiteral("–")) +
        row(kTxtStdDev, any ? QString::number(recent.stdDev, 'f', 2) : QStringLiteral("–")) +
        row(kTxtDrift, any ? QString::number(recent.driftPerMinute, 'f', 1) : QStringLiteral("–")) +
        QStringLiteral("</table>"));
    m_mark->SetVerdict(m_stats.Verdict());
}
