#include "ui/main/verification_window.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

#include "lang/language.h"
#include "ui/main/calibration_text_ids.h"
#include "ui/main/certificate_text_ids.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"
#include "ui/main/notice.h"
#include "ui/main/reference_settings.h"
#include "ui/main/verification_ids.h"

using namespace certtext;
using namespace verifywnd;
using protocol::VerificationStage;

namespace {

constexpr char kSection[] = "Verification";

template <typename T>
T* Named(T* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

// A settings key from free text (a model, a tag): letters and digits kept.
std::string KeyWord(const std::string& text) {
    std::string word;
    for (unsigned char c : text) word += std::isalnum(c) && c < 0x80 ? static_cast<char>(c) : '_';
    return word;
}

QString Number(double value) {
    return QString::number(value, 'g', 10);
}

std::optional<double> ParseCell(const QTableWidgetItem* item) {
    if (item == nullptr) return std::nullopt;
    // A pasted reading may carry a decimal comma.
    QString text = item->text().trimmed();
    if (!text.contains(u'.') && text.count(u',') == 1) text.replace(u',', u'.');
    return protocol::ParseReading(text.toStdWString());
}

QTableWidgetItem* ReadOnly(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

}  // namespace

CVerificationWindow::CVerificationWindow(DeviceSource device, RecordHandler record, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_device(std::move(device)),
      m_record(std::move(record)),
      m_stageLabel(new QLabel(this)),
      m_stage(Named(new QComboBox(this), IDC_VERIFY_STAGE)),
      m_outputLabel(new QLabel(this)),
      m_output(Named(new QComboBox(this), IDC_VERIFY_OUTPUT)),
      m_toleranceLabel(new QLabel(this)),
      m_tolerance(Named(new QLineEdit(this), IDC_VERIFY_TOLERANCE)),
      m_pointsLabel(new QLabel(this)),
      m_points(Named(new QLineEdit(this), IDC_VERIFY_POINTS)),
      m_newRun(Named(new QPushButton(this), IDC_VERIFY_NEW_RUN)),
      m_hint(new QLabel(this)),
      m_table(Named(new QTableWidget(0, 6, this), IDC_VERIFY_TABLE)),
      m_result(Named(new QLabel(this), IDC_VERIFY_RESULT)),
      m_note(Named(new QLabel(this), IDC_VERIFY_NOTE)),
      m_recordButton(Named(new QPushButton(this), IDC_VERIFY_RECORD)),
      m_referencesLabel(new QLabel(this)),
      m_references(Named(new QTableWidget(0, 6, this), IDC_VERIFY_REFERENCES)),
      m_add(Named(new QPushButton(this), IDC_VERIFY_ADD_REFERENCE)),
      m_remove(Named(new QPushButton(this), IDC_VERIFY_REMOVE_REFERENCE)) {
    setObjectName(QStringLiteral("verification"));
    m_stage->addItems({QString(), QString()});
    // Units read the same in every language.
    m_output->addItems({QStringLiteral("4–20 mA"), QStringLiteral("0–10 V")});
    const QString tolerance = QString::fromStdWString(GetTextSetting(kSection, "Tolerance"));
    m_tolerance->setText(tolerance.isEmpty() ? Number(protocol::kDefaultTolerancePercent)
                                             : tolerance);
    m_points->setText(QString::fromStdString(protocol::PercentsText(m_plan.percents)));
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_references->verticalHeader()->hide();
    m_references->horizontalHeader()->setStretchLastSection(true);
    m_hint->setWordWrap(true);
    m_note->setWordWrap(true);
    QFont big = m_result->font();
    big.setPointSizeF(big.pointSizeF() * 2.2);
    big.setBold(true);
    m_result->setFont(big);
    m_result->setAlignment(Qt::AlignCenter);
    for (QPushButton* b : {m_newRun, m_recordButton, m_add, m_remove}) b->setAutoDefault(false);

    auto* plan = new QGridLayout;
    plan->addWidget(m_stageLabel, 0, 0);
    plan->addWidget(m_stage, 0, 1);
    plan->addWidget(m_outputLabel, 0, 2);
    plan->addWidget(m_output, 0, 3);
    plan->addWidget(m_pointsLabel, 1, 0);
    plan->addWidget(m_points, 1, 1);
    plan->addWidget(m_toleranceLabel, 1, 2);
    plan->addWidget(m_tolerance, 1, 3);
    plan->addWidget(m_newRun, 1, 4);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_note, 1);
    bottom->addWidget(m_recordButton);
    auto* referenceButtons = new QHBoxLayout;
    referenceButtons->addWidget(m_referencesLabel, 1);
    referenceButtons->addWidget(m_add);
    referenceButtons->addWidget(m_remove);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(plan);
    layout->addWidget(m_hint);
    layout->addWidget(m_table, 3);
    layout->addWidget(m_result);
    layout->addLayout(bottom);
    layout->addLayout(referenceButtons);
    layout->addWidget(m_references, 2);

    connect(m_newRun, &QPushButton::clicked, this, [this] { StartRun(); });
    connect(m_recordButton, &QPushButton::clicked, this, [this] { Record(); });
    connect(m_table, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!m_filling) Recompute(item->row());
    });
    auto* paste = new QShortcut(QKeySequence::Paste, m_table);
    paste->setContext(Qt::WidgetWithChildrenShortcut);
    connect(paste, &QShortcut::activated, this,
            [this] { PasteReadings(QApplication::clipboard()->text()); });
    connect(m_add, &QPushButton::clicked, this, [this] {
        m_filling = true;
        const int row = m_references->rowCount();
        m_references->insertRow(row);
        auto* used = new QTableWidgetItem;
        used->setCheckState(Qt::Checked);
        m_references->setItem(row, kUsedCol, used);
        for (int c = kNameCol; c <= kUntilCol; ++c)
            m_references->setItem(row, c, new QTableWidgetItem);
        m_references->setItem(row, kKindCol, new QTableWidgetItem);
        m_filling = false;
        FillReferences();  // puts the kind box into the new row
        m_references->editItem(m_references->item(row, kNameCol));
    });
    connect(m_remove, &QPushButton::clicked, this, [this] {
        if (m_references->currentRow() < 0) return;
        m_references->removeRow(m_references->currentRow());
        SaveReferenceTable();
    });
    connect(m_references, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (m_filling) return;
        MarkExpired(item->row());
        SaveReferenceTable();
    });

    std::vector<SReferenceEntry> stored = LoadReferences();
    m_filling = true;
    for (const SReferenceEntry& e : stored) {
        const int row = m_references->rowCount();
        m_references->insertRow(row);
        auto* used = new QTableWidgetItem;
        used->setCheckState(e.used ? Qt::Checked : Qt::Unchecked);
        m_references->setItem(row, kUsedCol, used);
        const auto& r = e.instrument;
        m_references->setItem(row, kNameCol, new QTableWidgetItem(QString::fromStdString(r.name)));
        m_references->setItem(row, kModelCol,
                              new QTableWidgetItem(QString::fromStdString(r.model)));
        m_references->setItem(row, kSerialCol,
                              new QTableWidgetItem(QString::fromStdString(r.serial)));
        m_references->setItem(row, kUntilCol,
                              new QTableWidgetItem(QString::fromStdString(r.calibratedUntil)));
        auto* kind = new QTableWidgetItem;
        kind->setData(Qt::UserRole, static_cast<int>(r.kind));
        m_references->setItem(row, kKindCol, kind);
    }
    m_filling = false;
    FillReferences();
    resize(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 95, 620);
    Retranslate();
}

void CVerificationWindow::Retranslate() {
    setWindowTitle(MainText(kTxtVerification));
    m_stageLabel->setText(MainText(kTxtStage));
    m_stage->setItemText(0, MainText(kTxtStageAsFound));
    m_stage->setItemText(1, MainText(kTxtStageAsLeft));
    m_outputLabel->setText(MainText(kTxtOutputKind));
    m_toleranceLabel->setText(MainText(kTxtTolerance));
    m_pointsLabel->setText(MainText(kTxtTestPoints));
    m_newRun->setText(MainText(kTxtNewRun));
    m_recordButton->setText(MainText(kTxtRecord));
    m_hint->setText(MainText(kTxtEnterMeasured));
    m_referencesLabel->setText(MainText(kTxtReferences));
    m_add->setText(MainText(kTxtAdd));
    m_remove->setText(MainText(kTxtRemove));
    SetPointHeaders();
    m_references->setHorizontalHeaderLabels({MainText(kTxtUsed), MainText(kTxtName),
                                             MainText(kTxtModel), MainText(kTxtSerial),
                                             MainText(kTxtCalibratedUntil), MainText(kTxtKind)});
    FillReferences();
    for (int row = 0; row < m_table->rowCount(); ++row) Recompute(row);
    ShowResult();
}

void CVerificationWindow::SetPointHeaders() {
    const QString output = m_plan.output == protocol::OutputSignal::Voltage0To10V
                               ? QStringLiteral(" (V)")
                               : QStringLiteral(" (mA)");
    m_table->setHorizontalHeaderLabels(
        {MainText(kTxtPoint),
         MainText(kTxtApplied) +
             (m_unit.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(m_unit)),
         MainText(kTxtExpected) + output, MainText(kTxtMeasured) + output, MainText(kTxtError),
         MainText(calibtext::kTxtResult)});
}

void CVerificationWindow::SetStage(VerificationStage stage) {
    m_stage->setCurrentIndex(stage == VerificationStage::AsLeft ? 1 : 0);
}

void CVerificationWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_planned) StartRun();
}

std::optional<protocol::VerificationPlan> CVerificationWindow::PlanFromFields(
    QString* problem) const {
    const std::optional<SDevice> device = m_device ? m_device() : std::nullopt;
    if (!device) {
        *problem = MainText(maintext::kConnectFirstText);
        return std::nullopt;
    }
    protocol::VerificationPlan plan;
    plan.lower = device->lower;
    plan.upper = device->upper;
    plan.output = m_output->currentIndex() == 1 ? protocol::OutputSignal::Voltage0To10V
                                                : protocol::OutputSignal::Current4To20mA;
    const auto percents = protocol::ParsePercents(m_points->text().toStdString());
    const auto tolerance = protocol::ParseReading(m_tolerance->text().trimmed().toStdWString());
    if (percents) plan.percents = *percents;
    if (tolerance) plan.tolerancePercent = *tolerance;
    const protocol::PlanProblem checked = protocol::CheckPlan(plan);
    if (!percents || checked == protocol::PlanProblem::TooFewPoints ||
        checked == protocol::PlanProblem::TooManyPoints ||
        checked == protocol::PlanProblem::PointOutOfRange) {
        *problem = MainText(kTxtBadPoints);
        return std::nullopt;
    }
    if (!tolerance || checked == protocol::PlanProblem::BadTolerance) {
        *problem = MainText(kTxtBadTolerance);
        return std::nullopt;
    }
    if (checked == protocol::PlanProblem::ZeroSpan) {
        *problem = MainText(kTxtZeroSpan);
        return std::nullopt;
    }
    return plan;
}

bool CVerificationWindow::StartRun() {
    const std::optional<SDevice> device = m_device ? m_device() : std::nullopt;
    // The device's remembered choices come first when they are there.
    if (device && !m_planned) {
        const QString points =
            QString::fromStdWString(GetTextSetting(kSection, "Points_" + KeyWord(device->model)));
        if (!points.isEmpty()) m_points->setText(points);
        const std::wstring output =
            GetTextSetting(kSection, "Output_" + KeyWord(device->deviceKey));
        if (!output.empty()) m_output->setCurrentIndex(output == L"0-10V" ? 1 : 0);
    }
    QString problem;
    const auto plan = PlanFromFields(&problem);
    if (!plan) {
        m_note->setText(problem);
        return false;
    }
    m_plan = *plan;
    m_planned = true;
    SetTextSetting(kSection, "Tolerance", m_tolerance->text().trimmed().toStdWString());
    SetTextSetting(kSection, "Points_" + KeyWord(device->model),
                   m_points->text().trimmed().toStdWString());
    SetTextSetting(kSection, "Output_" + KeyWord(device->deviceKey),
                   QString::fromStdString(protocol::SignalName(m_plan.output)).toStdWString());

    m_filling = true;
    m_table->setRowCount(0);
    for (double percent : m_plan.percents) {
        const int row = m_table->rowCount();
        m_table->insertRow(row);
        m_table->setItem(row, kPointCol, ReadOnly(Number(percent) + QStringLiteral(" %")));
        m_table->setItem(row, kAppliedCol,
                         new QTableWidgetItem(Number(protocol::NominalInput(m_plan, percent))));
        m_table->setItem(row, kMeasuredCol, new QTableWidgetItem);
        for (int c : {kExpectedCol, kErrorCol, kResultCol}) m_table->setItem(row, c, ReadOnly({}));
    }
    m_filling = false;
    m_unit = device->unit;
    SetPointHeaders();
    for (int row = 0; row < m_table->rowCount(); ++row) Recompute(row);
    m_note->setText(device->unit.isEmpty()
                        ? QString()
                        : MainText(kTxtRange) +
                              QStringLiteral(": %1 … %2 %3")
                                  .arg(Number(m_plan.lower), Number(m_plan.upper), device->unit));

    QStringList expired;
    for (const protocol::ReferenceInstrument& r : UsedReferences())
        if (protocol::ReferenceExpired(r, TodayText()))
            expired << QString::fromStdString(r.name + " (" + r.serial + ")");
    if (!expired.isEmpty())
        ShowNotice(MainText(kTxtVerification),
                   MainText(kTxtExpiredWarning).arg(expired.join(QStringLiteral(", "))));
    return true;
}

void CVerificationWindow::Recompute(int row) {
    if (row < 0 || row >= static_cast<int>(m_plan.percents.size())) return;
    const auto applied = ParseCell(m_table->item(row, kAppliedCol));
    const auto measured = ParseCell(m_table->item(row, kMeasuredCol));
    m_filling = true;
    const auto set = [this, row](int column, const QString& text) {
        if (QTableWidgetItem* item = m_table->item(row, column)) item->setText(text);
    };
    set(kExpectedCol,
        applied ? QString::number(protocol::ExpectedOutput(m_plan, *applied), 'f', 3) : QString());
    if (applied && measured) {
        const protocol::PointResult r =
            protocol::EvaluatePoint(m_plan, m_plan.percents[row], *applied, *measured);
        set(kErrorCol, QString::number(r.errorPercent, 'f', 3));
        set(kResultCol, MainText(r.pass ? kTxtPass : kTxtFail));
        if (QTableWidgetItem* item = m_table->item(row, kResultCol))
            item->setForeground(r.pass ? QColor(0x1b, 0x7a, 0x2e) : QColor(0xc0, 0x1c, 0x1c));
    } else {
        set(kErrorCol, QString());
        set(kResultCol, QString());
    }
    m_filling = false;
    ShowResult();
}

protocol::VerificationRun CVerificationWindow::Run() const {
    protocol::VerificationRun run;
    run.stage =
        m_stage->currentIndex() == 1 ? VerificationStage::AsLeft : VerificationStage::AsFound;
    run.plan = m_plan;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const auto applied = ParseCell(m_table->item(row, kAppliedCol));
        const auto measured = ParseCell(m_table->item(row, kMeasuredCol));
        if (applied && measured)
            run.points.push_back(
                protocol::EvaluatePoint(m_plan, m_plan.percents[row], *applied, *measured));
    }
    return run;
}

void CVerificationWindow::ShowResult() {
    const protocol::VerificationRun run = Run();
    if (!m_planned || !run.Complete()) {
        m_result->setText(m_planned ? MainText(kTxtInProgress) : QString());
        m_result->setStyleSheet(QString());
        return;
    }
    m_result->setText(MainText(run.Passed() ? kTxtPass : kTxtFail));
    m_result->setStyleSheet(run.Passed() ? QStringLiteral("color: #1b7a2e")
                                         : QStringLiteral("color: #c01c1c"));
}

void CVerificationWindow::PasteReadings(const QString& text) {
    int row = std::max(0, m_table->currentRow());
    for (const QString& line :
         text.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts)) {
        if (row >= m_table->rowCount()) break;
        const QStringList fields = line.split(
            QRegularExpression(QStringLiteral("[\t;]|,(?=\\s*[-+0-9.])")), Qt::SkipEmptyParts);
        if (fields.size() >= 2) {
            m_table->item(row, kAppliedCol)->setText(fields[0].trimmed());
            m_table->item(row, kMeasuredCol)->setText(fields[1].trimmed());
        } else if (fields.size() == 1) {
            m_table->item(row, kMeasuredCol)->setText(fields[0].trimmed());
        }
        ++row;
    }
}

void CVerificationWindow::Record() {
    if (!m_planned && !StartRun()) return;
    const protocol::VerificationRun run = Run();
    if (!run.Complete()) {
        m_note->setText(MainText(kTxtRunNotComplete));
        return;
    }
    if (!m_record || !m_record(run, UsedReferences())) {
        m_note->setText(MainText(maintext::kConnectFirstText));
        return;
    }
    m_note->setText(MainText(kTxtRecorded)
                        .arg(m_stage->currentText(), MainText(run.Passed() ? kTxtPass : kTxtFail)));
}

SReferenceEntry CVerificationWindow::ReferenceRow(int row) const {
    const auto text = [this, row](int c) {
        const QTableWidgetItem* item = m_references->item(row, c);
        return item ? item->text().trimmed().toStdString() : std::string();
    };
    const auto* kind = qobject_cast<QComboBox*>(m_references->cellWidget(row, kKindCol));
    const QTableWidgetItem* check = m_references->item(row, kUsedCol);
    return {{text(kNameCol), text(kModelCol), text(kSerialCol), text(kUntilCol),
             kind != nullptr && kind->currentIndex() == 1 ? protocol::ReferenceKind::InputSource
                                                          : protocol::ReferenceKind::OutputMeter},
            check != nullptr && check->checkState() == Qt::Checked};
}

std::vector<protocol::ReferenceInstrument> CVerificationWindow::UsedReferences() const {
    std::vector<protocol::ReferenceInstrument> used;
    for (int row = 0; row < m_references->rowCount(); ++row)
        if (SReferenceEntry entry = ReferenceRow(row); entry.used)
            used.push_back(std::move(entry.instrument));
    return used;
}

void CVerificationWindow::FillReferences() {
    for (int row = 0; row < m_references->rowCount(); ++row) {
        auto* kind = qobject_cast<QComboBox*>(m_references->cellWidget(row, kKindCol));
        if (kind == nullptr) {
            kind = new QComboBox;
            kind->addItems({QString(), QString()});
            if (const QTableWidgetItem* item = m_references->item(row, kKindCol))
                kind->setCurrentIndex(item->data(Qt::UserRole).toInt() == 1 ? 1 : 0);
            m_references->setCellWidget(row, kKindCol, kind);
            connect(kind, &QComboBox::currentIndexChanged, this, [this] { SaveReferenceTable(); });
        }
        kind->setItemText(0, MainText(kTxtOutputMeter));
        kind->setItemText(1, MainText(kTxtInputSource));
        MarkExpired(row);
    }
}

void CVerificationWindow::MarkExpired(int row) {
    QTableWidgetItem* until = m_references->item(row, kUntilCol);
    if (until == nullptr) return;
    const bool expired =
        !until->text().trimmed().isEmpty() &&
        protocol::ReferenceExpired({"", "", "", until->text().trimmed().toStdString(),
                                    protocol::ReferenceKind::OutputMeter},
                                   TodayText());
    const bool filling = m_filling;
    m_filling = true;
    until->setBackground(expired ? QColor(0xff, 0xd6, 0xd6) : QColor(Qt::transparent));
    const bool valid = protocol::ValidDate(until->text().trimmed().toStdString());
    until->setToolTip(!expired ? QString()
                      : valid  ? MainText(kTxtExpired)
                               : MainText(kTxtReferenceBadDate));
    m_filling = filling;
}

void CVerificationWindow::SaveReferenceTable() {
    std::vector<SReferenceEntry> entries;
    for (int row = 0; row < m_references->rowCount(); ++row) entries.push_back(ReferenceRow(row));
    SaveReferences(entries);
}
