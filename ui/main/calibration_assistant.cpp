#include "ui/main/calibration_assistant.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <algorithm>
#include <chrono>

#include "lang/language.h"
#include "ui/framework/dialog.h"
#include "ui/framework/textconv.h"
#include "ui/main/busy_rows.h"
#include "ui/main/calibration_report.h"
#include "ui/main/calibration_text_ids.h"
#include "ui/main/checked_write.h"
#include "ui/main/control_ids.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"
#include "ui/main/notice.h"
#include "ui/main/stability_mark.h"
#include "ui/main/trend_widget.h"
#include "ui/main/trim_dialog.h"

using namespace calibtext;
using namespace mainwnd;
using namespace maintext;
using protocol::OperationCode;

namespace {

constexpr char kSettingsSection[] = "Calibration";
constexpr char kTechnicianKey[] = "Technician";

std::chrono::milliseconds SteadyNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

bool IsSampleStore(int code) {
    return code == static_cast<int>(OperationCode::WriteZeroSample) ||
           code == static_cast<int>(OperationCode::WriteFullSample);
}

}  // namespace

CCalibrationAssistant::CCalibrationAssistant(CDialog& dlg, protocol::CTransmitterLink& link,
                                             protocol::DeviceParameters& params, CBusyRows& busy)
    : m_dlg(dlg), m_link(link), m_params(params), m_busy(busy) {
    m_prompts.technician = [this]() -> std::optional<QString> {
        bool ok = false;
        const QString name =
            QInputDialog::getText(&m_dlg, MainText(kTxtReportTitle), MainText(kTxtTechnicianName),
                                  QLineEdit::Normal, QString(), &ok);
        if (!ok) return std::nullopt;
        return name;
    };
    m_prompts.pdfPath = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(&m_dlg, MainText(kTxtReportTitle), suggested,
                                            QStringLiteral("PDF (*.pdf)"));
    };
}

CCalibrationAssistant::~CCalibrationAssistant() = default;

void CCalibrationAssistant::InstallControls() {
    m_trend = new CTrendWidget;
    m_zeroMark = new CStabilityMark;
    m_fullMark = new CStabilityMark;
    m_dlg.SubclassDlgItem(IDC_TREND, m_trend);
    m_dlg.SubclassDlgItem(IDC_ZERO_STABILITY, m_zeroMark);
    m_dlg.SubclassDlgItem(IDC_FULL_STABILITY, m_fullMark);
}

CStabilityMark* CCalibrationAssistant::Mark(int index) const {
    if (index == protocol::kZeroSampleIndex) return m_zeroMark;
    if (index == protocol::kFullSampleIndex) return m_fullMark;
    return nullptr;
}

void CCalibrationAssistant::ShowForVersion(bool factory) {
    m_factory = factory;
    m_dlg.ShowItem(IDC_TRIM_METER, factory);
    m_dlg.ShowItem(IDC_TREND, factory);
    // A mark says something only while its sample is read.
    m_dlg.ShowItem(IDC_ZERO_STABILITY, factory && m_sampling == protocol::kZeroSampleIndex);
    m_dlg.ShowItem(IDC_FULL_STABILITY, factory && m_sampling == protocol::kFullSampleIndex);
}

void CCalibrationAssistant::EnableControls(bool online) {
    m_dlg.EnableItem(IDC_TRIM_METER, online);
}

void CCalibrationAssistant::RefreshTexts() {
    m_dlg.SetDlgItemText(IDC_TRIM_METER, MainText(kTxtTrimCaption));
    if (m_trend != nullptr) m_trend->RefreshTexts();
    for (CStabilityMark* mark : {m_zeroMark, m_fullMark})
        if (mark != nullptr) mark->RefreshTexts();
    if (m_trim) m_trim->RefreshTexts();
    ShowForVersion(m_factory);
}

void CCalibrationAssistant::Connected(std::wstring port) {
    m_port = std::move(port);
    m_awaitingAsFound = true;
    m_reportWaiting = false;
    m_known = {};
    m_pendingWords.clear();
    m_unstableStores.clear();
}

void CCalibrationAssistant::Disconnected() {
    m_awaitingAsFound = false;
    m_reportWaiting = false;
    m_pendingWords.clear();
    m_unstableStores.clear();
    if (m_trim) m_trim->hide();
}

void CCalibrationAssistant::ReadAllDone() {
    const protocol::RegisterWords words = m_link.Words();
    for (int i = 0; i < protocol::kRegisterCount; ++i)
        if (words[i]) m_known[i] = words[i];
    if (m_awaitingAsFound) {
        m_awaitingAsFound = false;
        m_session.Start(protocol::WallClock::now(), m_port, words);
        return;
    }
    if (m_reportWaiting) {
        m_reportWaiting = false;
        FinishReport();
    }
}

void CCalibrationAssistant::ValuesShown(std::uint32_t changed, std::uint32_t sampled) {
    if (changed == 0) return;
    const protocol::RegisterWords words = m_link.Words();
    // A sampling pass reads the live input, not the stored calibration
    // point: the store's old value stays the one read or written before.
    for (int i = 0; i < protocol::kRegisterCount; ++i)
        if ((changed >> i & 1u) && words[i] && i != m_sampling) m_known[i] = words[i];
    if (m_sampling < 0 || !(sampled >> m_sampling & 1u) || !words[m_sampling]) return;
    m_trend->AddSample(SteadyNow(), *words[m_sampling]);
    Mark(m_sampling)->SetVerdict(m_trend->Statistics().Verdict());
}

void CCalibrationAssistant::SamplingChanged(int index, bool on) {
    if (on) {
        m_sampling = index;
        m_trend->Clear();
        Mark(index)->SetVerdict(m_trend->Statistics().Verdict());
    } else {
        // The trend stays on view: it shows what the stored reading did.
        m_sampling = -1;
    }
    ShowForVersion(m_factory);
}

QString CCalibrationAssistant::WordText(int index, const std::optional<std::uint16_t>& word) const {
    if (!word) return QString();
    return CCalibrationReport::WordText(index, *word,
                                        m_known[protocol::kDecimalsIndex].value_or(0));
}

void CCalibrationAssistant::WriteStarted(OperationCode code, std::uint16_t word) {
    const int index = protocol::ParamIndexOf(code);
    if (index < 0) return;
    const auto now = protocol::WallClock::now();
    m_session.BeginWrite(now, code, ToWString(WordText(index, m_known[index])),
                         ToWString(WordText(index, word)));
    m_pendingWords.emplace_back(static_cast<int>(code), word);
    if (IsSampleStore(static_cast<int>(code))) {
        const protocol::StabilityVerdict verdict = m_trend->Statistics().Verdict();
        m_session.RecordSample(now, code, word, verdict);
        if (!verdict.stable()) m_unstableStores.push_back(static_cast<int>(code));
    }
}

QString CCalibrationAssistant::WriteFinished(int code, bool success) {
    const auto op = static_cast<OperationCode>(code);
    m_session.CompleteWrite(op, success);
    const auto pending = std::find_if(m_pendingWords.begin(), m_pendingWords.end(),
                                      [code](const auto& p) { return p.first == code; });
    if (pending != m_pendingWords.end()) {
        if (success) m_known[protocol::ParamIndexOf(op)] = pending->second;
        m_pendingWords.erase(pending);
    }
    const bool output =
        op == OperationCode::WriteZeroOutput || op == OperationCode::WriteFullOutput;
    if (output && !success && m_trim && m_known[protocol::kZeroOutputIndex] &&
        m_known[protocol::kFullOutputIndex])
        m_trim->SetCurrentWords(*m_known[protocol::kZeroOutputIndex],
                                *m_known[protocol::kFullOutputIndex]);
    const auto unstable = std::find(m_unstableStores.begin(), m_unstableStores.end(), code);
    if (unstable == m_unstableStores.end()) return QString();
    m_unstableStores.erase(unstable);
    return MainText(kTxtReadingNotStable);
}

void CCalibrationAssistant::SendTrimWord(OperationCode code, std::uint16_t word) {
    const std::wstring text = std::to_wstring(word);
    // The same checks and the same row as the Set button of that output.
    const std::optional<std::uint16_t> checked = CheckedTypedWord(code, text, 0);
    if (!checked) return;
    std::wstring& field =
        code == OperationCode::WriteZeroOutput ? m_params.zeroOutput : m_params.fullOutput;
    field = text;
    m_dlg.SetDlgItemText(code == OperationCode::WriteZeroOutput ? IDC_ZERO_OUT : IDC_FULL_OUT,
                         text);
    if (!m_link.StartWriteTask(code, *checked)) return;
    m_busy.Begin(static_cast<int>(code));
    WriteStarted(code, *checked);
}

void CCalibrationAssistant::OnTrim() {
    const auto wordOf = [this](int index, const std::wstring& shown) -> std::uint16_t {
        if (m_known[index]) return *m_known[index];
        return static_cast<std::uint16_t>(
            std::clamp(QString::fromStdWString(shown).toInt(), 0, 0xFFFF));
    };
    const std::uint16_t zero = wordOf(protocol::kZeroOutputIndex, m_params.zeroOutput);
    const std::uint16_t full = wordOf(protocol::kFullOutputIndex, m_params.fullOutput);
    if (!m_trim) {
        m_trim = std::make_unique<CTrimDialog>(zero, full, &m_dlg);
        m_trim->SetConfirmHandler(
            [this](const protocol::TrimRequest& request, const protocol::TrimResult& result) {
                m_session.RecordTrim(protocol::WallClock::now(), request, result);
                SendTrimWord(OperationCode::WriteZeroOutput, result.newZeroWord);
                SendTrimWord(OperationCode::WriteFullOutput, result.newFullWord);
            });
        m_trim->Create(&m_dlg);
    } else if (m_trim->isHidden()) {
        m_trim->SetCurrentWords(zero, full);
    }
    m_trim->show();
    m_trim->raise();
}

void CCalibrationAssistant::OnReport() {
    if (!m_session.Started() || !m_link.StartReadAllTask()) {
        ShowNotice(MainText(kTxtReportTitle), MainText(kConnectFirstText));
        return;
    }
    m_reportWaiting = true;
    m_dlg.SetDlgItemText(IDC_STATUS, MainText(kReadingBackText));
}

std::optional<QString> CCalibrationAssistant::Technician() {
    const QString stored =
        QString::fromStdWString(GetTextSetting(kSettingsSection, kTechnicianKey)).trimmed();
    if (!stored.isEmpty()) return stored;
    const std::optional<QString> typed = m_prompts.technician();
    if (!typed || typed->trimmed().isEmpty()) return std::nullopt;
    SetTextSetting(kSettingsSection, kTechnicianKey, typed->trimmed().toStdWString());
    return typed->trimmed();
}

void CCalibrationAssistant::FinishReport() {
    const std::optional<QString> technician = Technician();
    if (!technician) return;
    const QDateTime made = QDateTime::currentDateTime();
    const QString suggested = QDir::home().filePath(
        QStringLiteral("calibration-%1.pdf").arg(made.toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    QString path = m_prompts.pdfPath(suggested);
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
    const CCalibrationReport report(m_session, m_link.Words(), *technician, made);
    QString error;
    if (!report.Save(path, &error)) {
        ShowNotice(MainText(kTxtReportTitle), MainText(kReportFailedText).arg(error));
        return;
    }
    m_lastReport = path;
    ShowNotice(MainText(kTxtReportTitle),
               MainText(kReportSavedText).arg(path, CCalibrationReport::CsvPathFor(path)));
}
