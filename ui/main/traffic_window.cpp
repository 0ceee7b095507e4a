#include "ui/main/traffic_window.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>
#include <set>

#include "protocol/traffic_record.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"
#include "ui/main/traffic_ids.h"
#include "ui/main/traffic_model.h"

using namespace maintext;
using namespace trafficwnd;

namespace {

// Four looks a second keep up with the line; each costs a layout and a repaint.
constexpr int kPollMs = 250;

template <typename T>
T* Named(T* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

QString Ms(double ms) {
    return QString::number(ms, 'f', 1);
}

}  // namespace

CTrafficWindow::CTrafficWindow(const protocol::CTrafficRecord& record, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_record(record),
      m_model(new CTrafficModel(record, this)),
      m_port(Named(new QLabel(this), IDC_TRAFFIC_PORT)),
      m_counters(Named(new QLabel(this), IDC_TRAFFIC_COUNTERS)),
      m_latency(Named(new QLabel(this), IDC_TRAFFIC_LATENCY)),
      m_rows(Named(new QLabel(this), IDC_TRAFFIC_ROWS)),
      m_pause(Named(new QPushButton(this), IDC_TRAFFIC_PAUSE)),
      m_clear(Named(new QPushButton(this), IDC_TRAFFIC_CLEAR)),
      m_copy(Named(new QPushButton(this), IDC_TRAFFIC_COPY)),
      m_save(Named(new QPushButton(this), IDC_TRAFFIC_SAVE)),
      m_table(Named(new QTableView(this), IDC_TRAFFIC_TABLE)),
      m_timer(new QTimer(this)) {
    setObjectName(QStringLiteral("traffic"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    // Fixed row heights: no per-row measuring with 10,000 rows.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
    const int digit = m_table->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    m_table->setColumnWidth(CTrafficModel::kTime, digit * 22);
    m_table->setColumnWidth(CTrafficModel::kDirection, digit * 5);
    m_table->setColumnWidth(CTrafficModel::kBytes, digit * 34);
    m_table->horizontalHeader()->setStretchLastSection(true);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_pause, m_clear, m_copy, m_save}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    buttons->addWidget(m_rows);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_port);
    m_port->hide();  // until a port tells its driver
    layout->addWidget(m_counters);
    layout->addWidget(m_latency);
    layout->addLayout(buttons);
    layout->addWidget(m_table, 1);

    connect(m_pause, &QPushButton::clicked, this, [this] { SetPaused(!m_paused); });
    connect(m_clear, &QPushButton::clicked, this, [this] { Clear(); });
    connect(m_copy, &QPushButton::clicked, this, [this] { CopySelected(); });
    connect(m_save, &QPushButton::clicked, this, [this] { Save(); });
    connect(m_timer, &QTimer::timeout, this, [this] { Update(); });
    // Follow the line while the newest row is in view; a user who scrolls
    // up to read stays where he is until he scrolls back down.
    QScrollBar* bar = m_table->verticalScrollBar();
    connect(bar, &QAbstractSlider::actionTriggered, this,
            [this, bar] { m_follow = bar->sliderPosition() >= bar->maximum(); });
    connect(bar, &QAbstractSlider::rangeChanged, this, [this, bar](int, int max) {
        if (m_follow) bar->setValue(max);
    });

    resize(digit * 110, 480);
    Retranslate();
    Update();
}

// Polls only while someone can see it; on showing it catches up with what
// the ring still holds.
void CTrafficWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Update();
    m_timer->start(kPollMs);
}

void CTrafficWindow::hideEvent(QHideEvent* event) {
    m_timer->stop();
    QWidget::hideEvent(event);
}

void CTrafficWindow::Retranslate() {
    setWindowTitle(MainText(kTrafficText));
    m_pause->setText(MainText(m_paused ? kTrafficResumeText : kTrafficPauseText));
    m_clear->setText(MainText(kTrafficClearText));
    m_copy->setText(MainText(kTrafficCopyText));
    m_save->setText(MainText(kTrafficSaveText));
    m_model->Retranslate();
    ShowCounters();
}

void CTrafficWindow::SetPaused(bool paused) {
    m_paused = paused;
    Retranslate();
    if (!m_paused) Update();
}

void CTrafficWindow::Update() {
    ShowCounters();
    if (m_paused) return;
    if (m_model->Poll() > 0 && m_follow) m_table->scrollToBottom();
    ShowRowCount();
}

void CTrafficWindow::SetPortText(const QString& text) {
    m_port->setText(text);
    m_port->setVisible(!text.isEmpty());
}

void CTrafficWindow::ShowRowCount() {
    m_rows->setText(MainText(kTrafficRowsText)
                        .arg(m_model->rowCount())
                        .arg(static_cast<qulonglong>(m_record.Capacity())));
}

void CTrafficWindow::ShowCounters() {
    const protocol::TrafficCounters c = m_record.Counters();
    m_counters->setText(MainText(kTrafficCountersText)
                            .arg(c.requests)
                            .arg(c.replies)
                            .arg(c.timeOuts)
                            .arg(c.retries)
                            .arg(c.lateReplies)
                            .arg(c.unexpectedBytes)
                            .arg(c.crcErrors));
    m_latency->setText(
        MainText(kTrafficLatencyText).arg(Ms(c.latencyMin), Ms(c.latencyMedian), Ms(c.latencyMax)));
}

void CTrafficWindow::Clear() {
    m_model->Clear();
    ShowRowCount();
}

void CTrafficWindow::CopySelected() {
    std::set<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        rows.insert(index.row());
    QStringList lines;
    for (int row : rows) lines << CTrafficModel::TextLine(m_model->Entry(row));
    if (!lines.isEmpty())
        QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

bool CTrafficWindow::SaveTo(const QString& path, bool csv) const {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) return false;
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    if (csv) out << CTrafficModel::CsvHeader() << '\n';
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const protocol::TrafficEntry& entry = m_model->Entry(row);
        out << (csv ? CTrafficModel::CsvLine(entry) : CTrafficModel::TextLine(entry)) << '\n';
    }
    out.flush();
    return file.error() == QFileDevice::NoError;
}

void CTrafficWindow::Save() {
    const QString text = MainText(kTrafficTextFilesText);
    const QString csv = MainText(kTrafficCsvFilesText);
    QString filter;
    const QString path =
        QFileDialog::getSaveFileName(this, MainText(kTrafficSaveTitleText), QString(),
                                     text + QStringLiteral(";;") + csv, &filter);
    if (path.isEmpty()) return;
    const bool asCsv = filter == csv || path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive);
    if (!SaveTo(path, asCsv))
        QMessageBox::warning(this, MainText(kTrafficText),
                             MainText(kTrafficNotWrittenText).arg(path));
}
