#include "ui/main/history_window.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <sstream>

#include "protocol/session_journal.h"
#include "ui/main/calibration_report.h"
#include "ui/main/history_ids.h"
#include "ui/main/history_text_ids.h"
#include "ui/main/main_text.h"
#include "ui/main/reference_settings.h"

using namespace historytext;
using namespace historywnd;

namespace {

template <typename T>
T* Named(T* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

QTableWidget* Table(int columns, int id, QWidget* parent) {
    auto* table = Named(new QTableWidget(0, columns, parent), id);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void SetRow(QTableWidget& table, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c) table.setItem(row, c, new QTableWidgetItem(cells[c]));
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// "2026-12-09T13:01:42Z" as the local time it was.
QString LocalTime(const std::string& utc) {
    const QDateTime time = QDateTime::fromString(Q(utc), Qt::ISODate);
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                          : Q(utc);
}

QString RunText(const std::optional<history::RunSummary>& run) {
    if (!run || !run->complete) return MainText(kTxtHistoryNotDone);
    return QStringLiteral("%1  %2 %")
        .arg(run->passed ? QStringLiteral("PASS") : QStringLiteral("FAIL"))
        .arg(run->worstError, 0, 'f', 3);
}

}  // namespace

CHistoryWindow::CHistoryWindow(QString database, std::function<void(const QString&)> open,
                               QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_database(std::move(database)),
      m_open(std::move(open)),
      m_search(Named(new QLineEdit(this), IDC_HISTORY_SEARCH)),
      m_deviceTable(Table(5, IDC_HISTORY_DEVICES, this)),
      m_sessionTable(Table(5, IDC_HISTORY_SESSIONS, this)),
      m_chart(new QChart),
      m_openButton(Named(new QPushButton(this), IDC_HISTORY_OPEN)),
      m_status(Named(new QLabel(this), IDC_HISTORY_STATUS)) {
    setObjectName(QStringLiteral("history"));
    auto* chartView = Named(new QChartView(m_chart, this), IDC_HISTORY_CHART);
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumHeight(180);
    chartView->setFocusPolicy(Qt::NoFocus);
    m_chart->legend()->hide();
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_search->setClearButtonEnabled(true);
    m_status->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_search);
    layout->addWidget(m_deviceTable, 2);
    layout->addWidget(m_sessionTable, 2);
    layout->addWidget(chartView, 2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_openButton);
    layout->addLayout(bottom);
    resize(720, 640);

    connect(m_search, &QLineEdit::textChanged, this, [this] { Search(); });
    connect(m_deviceTable, &QTableWidget::currentCellChanged, this,
            [this](int row) { ShowDevice(row); });
    connect(m_sessionTable, &QTableWidget::currentCellChanged, this, [this](int row) {
        m_openButton->setEnabled(row >= 0 && !m_sessions[row].certificate.empty());
    });
    connect(m_sessionTable, &QTableWidget::cellDoubleClicked, this, [this] { OpenCertificate(); });
    connect(m_openButton, &QPushButton::clicked, this, [this] { OpenCertificate(); });
    m_openButton->setEnabled(false);
    RefreshTexts();
}

CHistoryWindow::~CHistoryWindow() = default;

void CHistoryWindow::RefreshTexts() {
    setWindowTitle(MainText(kTxtHistoryTitle));
    m_search->setPlaceholderText(MainText(kTxtHistorySearch));
    m_deviceTable->setHorizontalHeaderLabels(
        {MainText(kTxtHistoryTag), MainText(kTxtHistorySerial), MainText(kTxtHistoryModel),
         MainText(kTxtHistorySessions), MainText(kTxtHistoryLastSession)});
    m_sessionTable->setHorizontalHeaderLabels(
        {MainText(kTxtHistoryStarted), MainText(kTxtHistoryTechnician),
         MainText(kTxtHistoryAsFound), MainText(kTxtHistoryAsLeft),
         MainText(kTxtHistoryCertificate)});
    m_openButton->setText(MainText(kTxtHistoryOpenCertificate));
    m_chart->setTitle(MainText(kTxtHistoryChart));
    if (!m_sessions.empty()) ShowDevice(m_deviceTable->currentRow());
}

void CHistoryWindow::Fail(const QString& why) {
    m_store.reset();  // a server that went away is found again on the next try
    m_status->setText(MainText(kTxtHistoryUnusable).arg(why));
}

bool CHistoryWindow::Connected() {
    if (m_store) return true;
    try {
        m_store = history::HistoryStore::Open(m_database.toStdString());
        return true;
    } catch (const history::DatabaseError& e) {
        Fail(Q(e.what()));
        return false;
    }
}

void CHistoryWindow::Refresh() {
    m_store.reset();
    Search();
}

void CHistoryWindow::Search() {
    m_devices.clear();
    m_deviceTable->setRowCount(0);
    m_sessions.clear();
    m_sessionTable->setRowCount(0);
    ShowChart();
    if (!Connected()) return;
    try {
        m_devices = m_store->FindDevices(m_search->text().trimmed().toStdString());
    } catch (const history::DatabaseError& e) {
        Fail(Q(e.what()));
        return;
    }
    m_status->setText(Q(m_store->Where()));
    m_deviceTable->setRowCount(static_cast<int>(m_devices.size()));
    for (int r = 0; r < static_cast<int>(m_devices.size()); ++r) {
        const history::DeviceSummary& d = m_devices[r];
        SetRow(*m_deviceTable, r,
               {Q(d.tag), Q(d.serial), Q(d.model), QString::number(d.sessions),
                LocalTime(d.lastSession)});
    }
    m_deviceTable->resizeColumnsToContents();
    if (m_devices.size() == 1) m_deviceTable->setCurrentCell(0, 0);
}

void CHistoryWindow::ShowDevice(int row) {
    m_sessions.clear();
    m_sessionTable->setRowCount(0);
    if (row >= 0 && row < static_cast<int>(m_devices.size()) && Connected()) {
        history::SessionFilter filter;
        filter.deviceId = m_devices[row].id;
        try {
            m_sessions = m_store->Sessions(filter);
        } catch (const history::DatabaseError& e) {
            Fail(Q(e.what()));
        }
    }
    m_sessionTable->setRowCount(static_cast<int>(m_sessions.size()));
    for (int r = 0; r < static_cast<int>(m_sessions.size()); ++r) {
        const history::SessionSummary& s = m_sessions[r];
        SetRow(*m_sessionTable, r,
               {LocalTime(s.started), Q(s.technician), RunText(s.asFound), RunText(s.asLeft),
                s.certificate.empty() ? QStringLiteral("-") : Q(s.certificate)});
    }
    m_sessionTable->resizeColumnsToContents();
    m_openButton->setEnabled(false);
    ShowChart();
}

// The largest as-found error of each calibration, oldest left: a unit that drifts
// less than its tolerance between calibrations may be given a longer interval.
void CHistoryWindow::ShowChart() {
    m_chart->removeAllSeries();
    // Removed axes are the caller's again.
    for (QAbstractAxis* axis : m_chart->axes()) {
        m_chart->removeAxis(axis);
        delete axis;
    }
    auto* series = new QLineSeries;
    series->setPointsVisible(true);
    double low = 0, high = 0;
    for (auto s = m_sessions.rbegin(); s != m_sessions.rend(); ++s) {
        if (!s->asFound || !s->asFound->complete) continue;
        const QDateTime time = QDateTime::fromString(Q(s->started), Qt::ISODate);
        series->append(static_cast<qreal>(time.toMSecsSinceEpoch()), s->asFound->worstError);
        high = std::max(high, s->asFound->worstError);
    }
    m_chart->addSeries(series);
    auto* x = new QDateTimeAxis;
    x->setFormat(QStringLiteral("yyyy-MM"));
    auto* y = new QValueAxis;
    y->setRange(low, std::max(0.05, high * 1.15));
    y->setLabelFormat(QStringLiteral("%.2f"));
    if (series->count() > 0) {
        const auto& points = series->points();
        const qint64 first = static_cast<qint64>(points.front().x());
        const qint64 last = static_cast<qint64>(points.back().x());
        const qint64 pad = std::max<qint64>((last - first) / 10, 86'400'000LL * 15);
        x->setRange(QDateTime::fromMSecsSinceEpoch(first - pad),
                    QDateTime::fromMSecsSinceEpoch(last + pad));
    }
    m_chart->addAxis(x, Qt::AlignBottom);
    m_chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
}

void CHistoryWindow::OpenCertificate() {
    const int row = m_sessionTable->currentRow();
    if (row < 0 || row >= static_cast<int>(m_sessions.size()) || !Connected()) return;
    const history::SessionSummary& s = m_sessions[row];
    if (s.certificate.empty()) return;
    const QString file = Q(s.certificateFile);
    if (!file.isEmpty() && QFileInfo::exists(file)) {
        m_open(file);
        return;
    }
    // The file is gone: the session's journal, kept in the database, makes
    // the same certificate again.
    std::optional<history::SessionDetail> detail;
    try {
        detail = m_store->Session(s.id);
    } catch (const history::DatabaseError& e) {
        Fail(Q(e.what()));
        return;
    }
    std::istringstream events(detail ? detail->events : std::string());
    const auto content = protocol::ReadJournal(events);
    if (!content || !content->session.AsLeft()) {
        m_status->setText(MainText(kTxtHistoryUnusable).arg(Q(s.certificate)));
        return;
    }
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::TempLocation) + QStringLiteral("/corvexa");
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(
        QStringLiteral("certificate-%1.pdf")
            .arg(Q(s.certificate).replace(QLatin1Char('/'), QLatin1Char('_'))));
    const CCalibrationReport report(
        content->session, *content->session.AsLeft(), Q(s.certificate),
        QDateTime::fromString(Q(s.ended.empty() ? s.started : s.ended), Qt::ISODate).toLocalTime(),
        TodayText());
    QString error;
    if (!report.Save(path, &error)) {
        m_status->setText(MainText(kTxtHistoryUnusable).arg(error));
        return;
    }
    m_status->setText(MainText(kTxtHistoryRemade).arg(path));
    m_open(path);
}
