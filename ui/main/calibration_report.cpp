#include "ui/main/calibration_report.h"

#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <vector>

#include "protocol/register_table.h"
#include "ui/framework/textconv.h"
#include "ui/main/calibration_text_ids.h"
#include "ui/main/certificate_text_ids.h"
#include "ui/main/csv_field.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"

using namespace calibtext;
using namespace certtext;
using protocol::kRegisterCount;

// One section of the report: a heading, column heads and rows; rows marked
// are drawn highlighted in the PDF.
struct CCalibrationReport::Table {
    QString heading;
    QString note;                        // a line under the heading (tolerance and result)
    int verdict = 0;                     // 1 pass, -1 fail: the note drawn large in green or red
    QString empty = MainText(kTxtNone);  // shown instead of rows when there are none
    QStringList columns;
    std::vector<QStringList> rows;
    std::vector<bool> marked;

    void Add(QStringList row, bool mark = false) {
        rows.push_back(std::move(row));
        marked.push_back(mark);
    }
};

namespace {

constexpr char kTimeFormat[] = "yyyy-MM-dd HH:mm:ss";

QString TimeText(protocol::WallClock::time_point time) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count()).toString(QLatin1String(kTimeFormat));
}

// A typed name or port must not turn into a formula when the CSV is opened
// in a spreadsheet.
QString PlainCell(const QString& text) {
    if (!text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.front()))
        return QLatin1Char('\'') + text;
    return text;
}

// Typed UTF-8 text (tag, technician, reference) as a plain cell.
QString PlainCell(const std::string& text) {
    return PlainCell(QString::fromStdString(text));
}

QString CsvLine(const QStringList& fields) {
    QStringList quoted;
    // Every field quoted: a spreadsheet that splits at ';' or ',' then keeps
    // each whole, and no text in it starts a formula cell of its own.
    for (const QString& f : fields) quoted << CsvQuoted(f);
    return quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
}

QString OutcomeText(protocol::WriteOutcome outcome) {
    switch (outcome) {
        case protocol::WriteOutcome::Succeeded:
            return MainText(kTxtSucceeded);
        case protocol::WriteOutcome::Failed:
            return MainText(kTxtFailed);
        case protocol::WriteOutcome::Pending:
            break;
    }
    return MainText(kTxtNoAnswerYet);
}

QString PairText(const QString& zero, const QString& full) {
    return zero + QStringLiteral(" / ") + full;
}

}  // namespace

CCalibrationReport::CCalibrationReport(const protocol::CalibrationSession& session,
                                       const protocol::RegisterWords& asLeft, QString number,
                                       QDateTime made, std::string today)
    : m_session(session),
      m_asLeft(asLeft),
      m_number(std::move(number)),
      m_made(std::move(made)),
      m_today(std::move(today)) {}

int CCalibrationReport::ParameterTextId(int index) {
    const protocol::RegisterRow* row = protocol::RowOfIndex(index);
    return row != nullptr ? row->nameTextId : 0;
}

QString CCalibrationReport::WordText(int index, std::uint16_t word, std::uint16_t decimals) {
    QString text;
    if (index == protocol::kSignalSourceIndex && word < protocol::kSignalSourceCount) {
        // The one code table the window translates.
        const auto& entry = protocol::kSignalSources[word];
        text = entry.stringNumber ? MainText(entry.stringNumber)
                                  : QString::fromWCharArray(entry.firstFill);
    } else {
        text = QString::fromStdString(protocol::ExactText(index, word, {decimals, std::nullopt}));
    }
    const QString plain = QString::number(word);
    // A code no table knows is only its number.
    if (text.isEmpty() || text == plain || text.startsWith(QLatin1String("code:"))) return plain;
    return QStringLiteral("%1 (%2)").arg(text, plain);
}

CCalibrationReport::Table CCalibrationReport::Header() const {
    Table t;
    t.heading = MainText(kTxtCertificateTitle);
    t.Add({MainText(kTxtCertificateNumber), PlainCell(m_number)});
    t.Add({MainText(kTxtDateTime), m_made.toString(QLatin1String(kTimeFormat))});
    t.Add({MainText(kTxtSoftware), PlainCell(m_session.Context().software)});
    t.Add({MainText(kTxtTechnician), PlainCell(m_session.Context().technician)});
    t.Add({MainText(kTxtPort), PlainCell(ToQString(m_session.Port()))});
    return t;
}

namespace {

QString SignalText(std::uint16_t code) {
    if (code >= protocol::kSignalSourceCount) return QString::number(code);
    const auto& entry = protocol::kSignalSources[code];
    return entry.stringNumber ? MainText(entry.stringNumber)
                              : QString::fromWCharArray(entry.firstFill);
}

QString OutputName(protocol::OutputSignal output) {
    return output == protocol::OutputSignal::Voltage0To10V ? QStringLiteral("0–10 V")
                                                           : QStringLiteral("4–20 mA");
}

QString Decimal(double value, int places) {
    return QString::number(value, 'f', places);
}

}  // namespace

CCalibrationReport::Table CCalibrationReport::Device() const {
    Table t;
    t.heading = MainText(kTxtDevice);
    const protocol::DeviceIdentity& id = m_session.Context().identity;
    t.Add({MainText(kTxtTag), PlainCell(id.tag)});
    t.Add({MainText(kTxtSerial), PlainCell(id.serial)});
    t.Add({MainText(kTxtModel), PlainCell(id.model)});
    // As left, where it was read back; as found otherwise.
    const auto word = [this](int index) {
        return m_asLeft[index] ? m_asLeft[index] : m_session.AsFound()[index];
    };
    if (const auto source = word(protocol::kSignalSourceIndex))
        t.Add({MainText(maintext::kSourceLabelText), SignalText(*source)});
    const auto lower = word(protocol::kLowerLimitIndex);
    const auto upper = word(protocol::kUpperLimitIndex);
    if (lower && upper) {
        const protocol::WordContext context{word(protocol::kDecimalsIndex).value_or(0),
                                            word(protocol::kUnitIndex)};
        t.Add({MainText(kTxtRange), QString::fromStdString(protocol::ExactText(
                                        protocol::kLowerLimitIndex, *lower, context)) +
                                        QStringLiteral(" … ") +
                                        QString::fromStdString(protocol::ExactText(
                                            protocol::kUpperLimitIndex, *upper, context))});
    }
    for (auto stage : {protocol::VerificationStage::AsLeft, protocol::VerificationStage::AsFound}) {
        if (const auto& run = m_session.Verification(stage)) {
            t.Add({MainText(kTxtOutputOfDevice), OutputName(run->plan.output)});
            break;
        }
    }
    return t;
}

CCalibrationReport::Table CCalibrationReport::References() const {
    Table t;
    t.heading = MainText(kTxtReferences);
    t.columns = {MainText(kTxtName), MainText(kTxtModel),           MainText(kTxtSerial),
                 MainText(kTxtKind), MainText(kTxtCalibratedUntil), QString()};
    for (const protocol::ReferenceInstrument& r : m_session.References()) {
        const bool expired = protocol::ReferenceExpired(r, m_today);
        t.Add({PlainCell(r.name), PlainCell(r.model), PlainCell(r.serial),
               MainText(r.kind == protocol::ReferenceKind::InputSource ? kTxtInputSource
                                                                       : kTxtOutputMeter),
               PlainCell(r.calibratedUntil), expired ? MainText(kTxtExpired) : QString()},
              expired);
    }
    return t;
}

CCalibrationReport::Table CCalibrationReport::Verification(
    protocol::VerificationStage stage) const {
    Table t;
    t.heading =
        MainText(stage == protocol::VerificationStage::AsLeft ? kTxtAsLeftRun : kTxtAsFoundRun);
    t.empty = MainText(kTxtNotDone);
    const auto& run = m_session.Verification(stage);
    if (!run) return t;
    const QString unit = run->plan.output == protocol::OutputSignal::Voltage0To10V
                             ? QStringLiteral(" (V)")
                             : QStringLiteral(" (mA)");
    t.verdict = run->Passed() ? 1 : -1;
    t.note = MainText(kTxtToleranceLine)
                 .arg(QString::number(run->plan.tolerancePercent), OutputName(run->plan.output),
                      MainText(run->Passed() ? kTxtPass : kTxtFail));
    // The applied input in the device's unit, where the device names one.
    const auto unitCode =
        (m_asLeft[protocol::kUnitIndex] ? m_asLeft : m_session.AsFound())[protocol::kUnitIndex];
    const std::string inputUnit =
        unitCode ? protocol::CodeName(protocol::CodeTable::Unit, *unitCode) : std::string();
    const QString applied =
        MainText(kTxtApplied) +
        (inputUnit.empty() ? QString()
                           : QStringLiteral(" (%1)").arg(QString::fromStdString(inputUnit)));
    t.columns = {MainText(kTxtPoint),           applied,
                 MainText(kTxtExpected) + unit, MainText(kTxtMeasured) + unit,
                 MainText(kTxtError),           MainText(kTxtResult)};
    for (const protocol::PointResult& p : run->points)
        t.Add(
            {QString::number(p.percent) + QStringLiteral(" %"), QString::number(p.applied, 'g', 10),
             Decimal(p.expected, 3), QString::number(p.measured, 'g', 10),
             Decimal(p.errorPercent, 3), MainText(p.pass ? kTxtPass : kTxtFail)},
            !p.pass);
    return t;
}

CCalibrationReport::Table CCalibrationReport::Signatures() const {
    Table t;
    t.heading = MainText(kTxtSignatures);
    const QString line = QStringLiteral("______________________");
    t.Add({MainText(kTxtTechnician), PlainCell(m_session.Context().technician),
           MainText(kTxtSignatureDate), line});
    t.Add({MainText(kTxtReviewer), QString(), MainText(kTxtSignatureDate), line});
    return t;
}

CCalibrationReport::Table CCalibrationReport::Parameters() const {
    Table t;
    t.heading = MainText(kTxtRawWords);
    t.columns = {MainText(kTxtParameter), MainText(kTxtRegister), MainText(kTxtAsFound),
                 MainText(kTxtAsLeft), MainText(kTxtChangedColumn)};
    // Scaled registers read with each side's own decimal places.
    const auto decimalsOf = [](const protocol::RegisterWords& words) {
        return words[protocol::kDecimalsIndex].value_or(0);
    };
    const auto cell = [](int index, const std::optional<std::uint16_t>& word,
                         std::uint16_t decimals) {
        return word ? WordText(index, *word, decimals) : MainText(kTxtNotRead);
    };
    for (const protocol::ParameterComparison& row : m_session.Compare(m_asLeft)) {
        const bool changed = row.change == protocol::ParameterChange::Changed;
        t.Add({MainText(ParameterTextId(row.index)),
               QString::number(protocol::RegisterOfIndex(row.index)),
               cell(row.index, row.asFound, decimalsOf(m_session.AsFound())),
               cell(row.index, row.asLeft, decimalsOf(m_asLeft)),
               changed ? MainText(kTxtChangedMark) : QString()},
              changed);
    }
    return t;
}

CCalibrationReport::Table CCalibrationReport::Writes() const {
    Table t;
    t.heading = MainText(kTxtChangedInSession);
    t.columns = {MainText(kTxtTime), MainText(kTxtParameter), MainText(kTxtOldValue),
                 MainText(kTxtNewValue), MainText(kTxtResult)};
    for (const protocol::SessionWrite& w : m_session.Writes()) {
        t.Add({TimeText(w.time), MainText(protocol::ResultStringNumber(w.code)),
               ToQString(w.oldText), ToQString(w.newText), OutcomeText(w.outcome)},
              w.outcome != protocol::WriteOutcome::Succeeded);
    }
    return t;
}

CCalibrationReport::Table CCalibrationReport::Samples() const {
    Table t;
    t.heading = MainText(kTxtStoredSamples);
    t.columns = {MainText(kTxtTime),      MainText(kTxtParameter), MainText(kTxtNewValue),
                 MainText(kTxtStability), MainText(kTxtMean),      MainText(kTxtStdDev),
                 MainText(kTxtDrift)};
    for (const protocol::StoredSample& s : m_session.Samples()) {
        const protocol::SampleSummary& over = s.verdict.over;
        t.Add({TimeText(s.time), MainText(protocol::ResultStringNumber(s.code)),
               QString::number(s.word), MainText(s.verdict.stable() ? kTxtStable : kTxtNotStable),
               QString::number(over.mean, 'f', 1), QString::number(over.stdDev, 'f', 2),
               QString::number(over.driftPerMinute, 'f', 1)},
              !s.verdict.stable());
    }
    return t;
}

CCalibrationReport::Table CCalibrationReport::Trims() const {
    Table t;
    t.heading = MainText(kTxtTrims);
    t.columns = {MainText(kTxtTime), MainText(kTxtOutput), MainText(kTxtMeterReading),
                 MainText(kTxtOldWords), MainText(kTxtNewWords)};
    for (const protocol::TrimRecord& r : m_session.Trims()) {
        const auto& q = r.request;
        const QString newWords = r.result.ok()
                                     ? PairText(QString::number(r.result.newZeroWord),
                                                QString::number(r.result.newFullWord))
                                     : ToQString(protocol::DescribeTrimProblem(r.result.problem));
        t.Add({TimeText(r.time), QString::fromStdString(protocol::SignalName(q.signal)),
               PairText(QString::number(q.measuredZero, 'f', 3),
                        QString::number(q.measuredFull, 'f', 3)),
               PairText(QString::number(q.zeroWord), QString::number(q.fullWord)), newWords});
    }
    return t;
}

std::vector<CCalibrationReport::Table> CCalibrationReport::Sections() const {
    return {Device(),
            References(),
            Verification(protocol::VerificationStage::AsFound),
            Verification(protocol::VerificationStage::AsLeft),
            Writes(),
            Samples(),
            Trims(),
            Signatures(),
            Parameters()};
}

QString CCalibrationReport::Csv() const {
    QString out;
    const Table header = Header();
    out += CsvLine({header.heading});
    for (const QStringList& row : header.rows) out += CsvLine(row);
    for (const Table& t : Sections()) {
        out += QStringLiteral("\r\n");
        out += CsvLine({t.heading});
        if (!t.note.isEmpty()) out += CsvLine({t.note});
        if (!t.columns.isEmpty() && !t.rows.empty()) out += CsvLine(t.columns);
        for (const QStringList& row : t.rows) out += CsvLine(row);
        if (t.rows.empty()) out += CsvLine({t.empty});
    }
    return out;
}

QString CCalibrationReport::Html() const {
    const auto esc = [](const QString& s) { return s.toHtmlEscaped(); };
    const Table header = Header();
    QString html =
        QStringLiteral("<html><body><h1>%1</h1><table cellpadding=\"2\">").arg(esc(header.heading));
    for (const QStringList& row : header.rows)
        html +=
            QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>").arg(esc(row[0]), esc(row[1]));
    html += QStringLiteral("</table>");
    for (const Table& t : Sections()) {
        html += QStringLiteral("<h3 style=\"margin-top:14px\">%1</h3>").arg(esc(t.heading));
        if (t.verdict != 0)
            html += QStringLiteral(
                        "<p><span style=\"font-size:16pt; font-weight:bold; color:%1\">%2</span>"
                        "&nbsp;&nbsp;%3</p>")
                        .arg(t.verdict > 0 ? QStringLiteral("#1b7a2e") : QStringLiteral("#c01c1c"),
                             esc(MainText(t.verdict > 0 ? kTxtPass : kTxtFail)), esc(t.note));
        if (t.rows.empty()) {
            html += QStringLiteral("<p>%1</p>").arg(esc(t.empty));
            continue;
        }
        if (t.columns.isEmpty()) {
            // Name and value pairs (device, signatures): no grid.
            html += QStringLiteral("<table cellpadding=\"4\">");
            for (const QStringList& row : t.rows) {
                html += QStringLiteral("<tr>");
                for (qsizetype c = 0; c < row.size(); ++c)
                    html += (c % 2 == 0 ? QStringLiteral("<td><b>%1</b></td>")
                                        : QStringLiteral("<td>%1</td>"))
                                .arg(esc(row[c]));
                html += QStringLiteral("</tr>");
            }
            html += QStringLiteral("</table>");
            continue;
        }
        html += QStringLiteral(
            "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\" "
            "style=\"border-collapse:collapse\"><tr bgcolor=\"#e6e6e6\">");
        for (const QString& c : t.columns)
            html += QStringLiteral("<th align=\"left\">%1</th>").arg(esc(c));
        html += QStringLiteral("</tr>");
        for (std::size_t i = 0; i < t.rows.size(); ++i) {
            html +=
                t.marked[i] ? QStringLiteral("<tr bgcolor=\"#ffe8a3\">") : QStringLiteral("<tr>");
            // The first column (a time or a name) keeps to one line.
            for (qsizetype c = 0; c < t.rows[i].size(); ++c) {
                html +=
                    (c == 0 ? QStringLiteral("<td nowrap>%1</td>") : QStringLiteral("<td>%1</td>"))
                        .arg(esc(t.rows[i][c]));
            }
            html += QStringLiteral("</tr>");
        }
        html += QStringLiteral("</table>");
    }
    return html + QStringLiteral("</body></html>");
}

namespace {

bool Commit(QSaveFile& file, QString* error) {
    if (file.commit()) return true;
    if (error) *error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
    return false;
}

bool Open(QSaveFile& file, QString* error) {
    if (file.open(QIODevice::WriteOnly)) return true;
    if (error) *error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
    return false;
}

}  // namespace

bool CCalibrationReport::SaveCsv(const QString& path, QString* error) const {
    QSaveFile file(path);
    if (!Open(file, error)) return false;
    // With the byte-order mark spreadsheets read the Chinese texts as UTF-8.
    file.write("\xEF\xBB\xBF");
    file.write(Csv().toUtf8());
    return Commit(file, error);
}

bool CCalibrationReport::SavePdf(const QString& path, QString* error) const {
    QSaveFile file(path);
    if (!Open(file, error)) return false;
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setTitle(MainText(kTxtCertificateTitle) + QStringLiteral(" ") + m_number);
        writer.setCreator(QStringLiteral("Corvexa"));
        QTextDocument doc;
        QFont font = doc.defaultFont();
        font.setPointSize(9);
        // Han characters in the Simplified Chinese face of Noto CJK: the
        // fallback fontconfig would pick is the Japanese one, whose glyphs
        // differ from what a Chinese reader expects.
        font.setFamilies({font.family(), QStringLiteral("Noto Sans CJK SC")});
        doc.setDefaultFont(font);
        doc.setHtml(Html());
        doc.print(&writer);
    }
    return Commit(file, error);
}

QString CCalibrationReport::CsvPathFor(const QString& pdfPath) {
    QString base = pdfPath;
    if (base.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) base.chop(4);
    return base + QStringLiteral(".csv");
}

bool CCalibrationReport::Save(const QString& pdfPath, QString* error) const {
    return SavePdf(pdfPath, error) && SaveCsv(CsvPathFor(pdfPath), error);
}
