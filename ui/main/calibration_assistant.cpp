#include "ui/main/calibration_assistant.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <filesystem>

#include "base/wide_text.h"

#include "history/journal_flush.h"
#include "lang/language.h"
#include "protocol/register_table.h"
#include "protocol/session_journal.h"
#include "ui/framework/dialog.h"
#include "ui/framework/textconv.h"
#include "ui/main/busy_rows.h"
#include "ui/main/calibration_report.h"
#include "ui/main/calibration_text_ids.h"
#include "ui/main/certificate_text_ids.h"
#include "ui/main/checked_write.h"
#include "ui/main/control_ids.h"
#include "ui/main/history_text_ids.h"
#include "ui/main/history_window.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"
#include "ui/main/notice.h"
#include "ui/main/reference_settings.h"
#include "ui/main/stability_mark.h"
#include "ui/main/trend_widget.h"
#include "ui/main/trim_dialog.h"
#include "ui/main/verification_window.h"

using namespace calibtext;
using namespace mainwnd;
using namespace maintext;
using protocol::OperationCode;

namespace {

constexpr char kSettingsSection[] = "Calibration";
constexpr char kCertificateCounterKey[] = "LastCertificate";

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
                                             protocol::DeviceParameters& params, CBusyRows& busy,
                                             QString journalFolder, QString database)
    : m_dlg(dlg),
      m_link(link),
      m_params(params),
      m_busy(busy),
      m_identity(dlg),
      m_journalFolder(std::move(journalFolder)),
      m_database(std::move(database)) {
    m_prompts.technician = [this]() -> std::optional<QString> {
        bool ok = false;
        const QString name =
            QInputDialog::getText(&m_dlg, MainText(kTxtReportTitle), MainText(kTxtTechnicianName),
                                  QLineEdit::Normal, QString(), &ok);
        if (!ok) return std::nullopt;
        return name;
    };
    m_prompts.pdfPath = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(&m_dlg, MainText(certtext::kTxtCertificateTitle),
                                            suggested, QStringLiteral("PDF (*.pdf)"));
    };
    m_prompts.confirm = [this](const QString& question) {
        return QMessageBox::question(&m_dlg, MainText(certtext::kTxtCertificateTitle), question) ==
               QMessageBox::Yes;
    };
}

CCalibrationAssistant::~CCalibrationAssistant() {
    if (m_historyWriter.joinable()) m_historyWriter.join();
}

void CCalibrationAssistant::WriteHistory() {
    if (m_journalFolder.isEmpty() || m_database.isEmpty()) return;
    if (m_historyWriter.joinable()) m_historyWriter.join();
    const std::string database = m_database.toStdString();
    const std::filesystem::path folder = std::filesystem::u8path(m_journalFolder.toStdString());
    QPointer<QWidget> window(&m_dlg);
    m_historyWriter = std::thread([this, window, database, folder] {
        const history::FlushResult result =
            history::FlushJournals(database, folder, history::BenchName());
        if (result.waiting == 0) return;
        // The window gets the news on its own thread, if it is still there.
        QMetaObject::invokeMethod(
            window.data(),
            [this, window, result] {
                if (!window) return;
                m_dlg.SetDlgItemText(IDC_STATUS,
                                     MainText(historytext::kTxtHistoryWaiting).arg(result.waiting));
            },
            Qt::QueuedConnection);
    });
}

QString CCalibrationAssistant::CertificateNumber(const QDateTime& made) {
    const QString day = made.toString(QStringLiteral("yyyyMMdd"));
    try {
        const auto store = history::HistoryStore::Open(m_database.toStdString());
        const std::int64_t n =
            store->ReserveCertificateNumber(history::BenchName(), protocol::WallClock::now());
        return QStringLiteral("%1-%2").arg(day).arg(n, 4, 10, QLatin1Char('0'));
    } catch (const history::DatabaseError&) {
        // Numbered on this bench instead, with its name, so that it can
        // never be one the database hands out.
        const int counter =
            QString::fromStdWString(GetTextSetting(kSettingsSection, kCertificateCounterKey))
                .toInt() +
            1;
        SetTextSetting(kSettingsSection, kCertificateCounterKey, std::to_wstring(counter));
        return QStringLiteral("%1-%2-%3")
            .arg(day, QString::fromStdString(history::BenchName()))
            .arg(counter, 4, 10, QLatin1Char('0'));
    }
}

void CCalibrationAssistant::OnHistory() {
    if (m_history == nullptr) {
        m_history = new CHistoryWindow(
            m_database,
            [](const QString& pdf) { QDesktopServices::openUrl(QUrl::fromLocalFile(pdf)); },
            &m_dlg);
    }
    m_history->Refresh();
    m_history->show();
    m_history->raise();
    m_history->activateWindow();
}

void CCalibrationAssistant::InstallControls() {
    m_trend = new CTrendWidget;
    m_zeroMark = new CStabilityMark;
    m_fullMark = new CStabilityMark;
    m_dlg.SubclassDlgItem(IDC_TREND, m_trend);
    m_dlg.SubclassDlgItem(IDC_ZERO_STABILITY, m_zeroMark);
    m_dlg.SubclassDlgItem(IDC_FULL_STABILITY, m_fullMark);
    m_identity.Install([this] { IdentityChanged(); });
    WriteHistory();  // what an earlier start left waiting
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
    if (m_verify != nullptr) m_verify->Retranslate();
    if (m_history != nullptr) m_history->RefreshTexts();
    m_identity.RefreshTexts();
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
    m_session.Finish(protocol::WallClock::now());
    WriteHistory();
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
        StartSession(words);
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
    CheckJournal();
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

void CCalibrationAssistant::StartSession(const protocol::RegisterWords& asFound) {
    const protocol::DeviceIdentity identity = m_identity.Identity();
    // Before this session's own journal exists, which is unfinished too.
    OfferUnfinished(identity);
    const auto now = protocol::WallClock::now();
    protocol::SessionContext context{
        identity, m_identity.Technician(),
        (QStringLiteral("Corvexa ") + QCoreApplication::applicationVersion())
            .trimmed()
            .toStdString()};
    std::string error;
    std::shared_ptr<protocol::SessionJournal> journal;
    if (!m_journalFolder.isEmpty())
        journal = protocol::SessionJournal::Open(
            protocol::JournalPathFor(std::filesystem::u8path(m_journalFolder.toStdString()), now,
                                     identity),
            &error);
    if (!journal) WarnJournal(error.empty() ? m_journalFolder : QString::fromStdString(error));
    m_session.Start(now, m_port, asFound, std::move(context), std::move(journal));
}

void CCalibrationAssistant::WarnJournal(const QString& why) {
    if (m_journalWarned) return;
    m_journalWarned = true;
    ShowNotice(MainText(certtext::kTxtCertificateTitle),
               MainText(certtext::kTxtJournalFailed).arg(why));
}

void CCalibrationAssistant::CheckJournal() {
    // A full disk mid-session: the session goes on, the technician is told once.
    if (const protocol::SessionJournal* journal = m_session.Journal(); journal && journal->Failed())
        WarnJournal(QString::fromStdString(protocol::PathText(journal->Path())));
}

void CCalibrationAssistant::IdentityChanged() {
    if (!m_session.Started() || m_session.Finished()) return;
    const protocol::DeviceIdentity identity = m_identity.Identity();
    const protocol::SessionContext& now = m_session.Context();
    if (identity != now.identity) {
        OfferUnfinished(identity);
        m_session.SetIdentity(identity);
    }
    if (m_identity.Technician() != now.technician) m_session.SetTechnician(m_identity.Technician());
}

void CCalibrationAssistant::OfferUnfinished(const protocol::DeviceIdentity& device) {
    if (m_journalFolder.isEmpty() || (device.tag.empty() && device.serial.empty())) return;
    const std::pair<std::string, std::string> key{device.tag, device.serial};
    if (std::find(m_offered.begin(), m_offered.end(), key) != m_offered.end()) return;
    m_offered.push_back(key);
    const auto own = m_session.Journal() ? m_session.Journal()->Path() : std::filesystem::path();
    for (const auto& path : protocol::UnfinishedJournals(
             std::filesystem::u8path(m_journalFolder.toStdString()), device)) {
        if (path == own) continue;
        const auto content = protocol::ReadJournal(path);
        if (!content) continue;
        const protocol::CalibrationSession& old = content->session;
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            old.StartTime().time_since_epoch());
        const QString when =
            QDateTime::fromMSecsSinceEpoch(ms.count()).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        const QString who = QString::fromStdString(device.tag.empty() ? device.serial : device.tag);
        std::optional<protocol::CertificateRecord> certificate;
        if (m_prompts.confirm(MainText(certtext::kTxtUnfinished).arg(who, when))) {
            certificate = SaveCertificate(old, old.AsLeft().value_or(protocol::RegisterWords{}));
            if (!certificate) continue;  // offered again at the next start
        }
        protocol::CloseJournal(path, certificate);
    }
}

void CCalibrationAssistant::OnVerify() {
    if (!m_session.Started() || m_session.Finished()) {
        ShowNotice(MainText(certtext::kTxtVerification), MainText(kConnectFirstText));
        return;
    }
    if (m_verify == nullptr) {
        const auto device = [this]() -> std::optional<CVerificationWindow::SDevice> {
            const auto lower = m_known[protocol::kLowerLimitIndex];
            const auto upper = m_known[protocol::kUpperLimitIndex];
            if (!m_session.Started() || !lower || !upper) return std::nullopt;
            CVerificationWindow::SDevice d;
            d.lower = protocol::ExactNumber(protocol::kLowerLimitIndex, *lower, 0);
            d.upper = protocol::ExactNumber(protocol::kUpperLimitIndex, *upper, 0);
            if (const auto unit = m_known[protocol::kUnitIndex])
                d.unit =
                    QString::fromStdString(protocol::CodeName(protocol::CodeTable::Unit, *unit));
            const protocol::DeviceIdentity identity = m_identity.Identity();
            d.model = identity.model;
            d.deviceKey = !identity.serial.empty() ? identity.serial
                          : !identity.tag.empty()  ? identity.tag
                                                   : corvexa::base::ToUtf8(m_port);
            return d;
        };
        m_verify = new CVerificationWindow(
            device,
            [this](const protocol::VerificationRun& run,
                   const std::vector<protocol::ReferenceInstrument>& used) {
                if (!m_session.Started() || m_session.Finished()) return false;
                m_session.SetReferences(used);
                m_session.RecordVerification(run);
                CheckJournal();
                return true;
            },
            &m_dlg);
    }
    // After a change the next verification is the as-left one.
    m_verify->SetStage(m_session.HasChanges() ? protocol::VerificationStage::AsLeft
                                              : protocol::VerificationStage::AsFound);
    m_verify->show();
    m_verify->raise();
    m_verify->activateWindow();
}

bool CCalibrationAssistant::MayClose() {
    if (!m_session.Started() || m_session.Finished() || !m_session.HasChanges() ||
        m_session.Certificate())
        return true;
    return m_prompts.confirm(MainText(certtext::kTxtCloseUnreported));
}

void CCalibrationAssistant::Closing() {
    m_session.Finish(protocol::WallClock::now());
    WriteHistory();
}

void CCalibrationAssistant::OnReport() {
    if (!m_session.Started() || !m_link.StartReadAllTask()) {
        ShowNotice(MainText(certtext::kTxtCertificateTitle), MainText(kConnectFirstText));
        return;
    }
    m_reportWaiting = true;
    m_dlg.SetDlgItemText(IDC_STATUS, MainText(kReadingBackText));
}

std::optional<QString> CCalibrationAssistant::Technician() {
    const QString shown = QString::fromStdString(m_identity.Technician());
    if (!shown.isEmpty()) return shown;
    const std::optional<QString> typed = m_prompts.technician();
    if (!typed || typed->trimmed().isEmpty()) return std::nullopt;
    m_identity.SetTechnician(typed->trimmed().toStdString());
    return typed->trimmed();
}

std::optional<protocol::CertificateRecord> CCalibrationAssistant::SaveCertificate(
    const protocol::CalibrationSession& session, const protocol::RegisterWords& asLeft) {
    const QDateTime made = QDateTime::currentDateTime();
    QString tag = QString::fromStdString(session.Context().identity.tag);
    if (tag.isEmpty()) tag = QString::fromStdString(session.Context().identity.serial);
    tag.replace(QRegularExpression(QStringLiteral("[^\\w.-]+")), QStringLiteral("_"));
    const QString suggested =
        QDir::home().filePath(QStringLiteral("certificate-%1%2.pdf")
                                  .arg(tag.isEmpty() ? QString() : tag + QLatin1Char('-'),
                                       made.toString(QStringLiteral("yyyyMMdd"))));
    QString path = m_prompts.pdfPath(suggested);
    if (path.isEmpty()) return std::nullopt;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
    const QString number = CertificateNumber(made);
    const CCalibrationReport report(session, asLeft, number, made, TodayText());
    QString error;
    if (!report.Save(path, &error)) {
        ShowNotice(MainText(certtext::kTxtCertificateTitle),
                   MainText(kReportFailedText).arg(error));
        return std::nullopt;
    }
    m_lastReport = path;
    ShowNotice(MainText(certtext::kTxtCertificateTitle),
               MainText(kReportSavedText).arg(path, CCalibrationReport::CsvPathFor(path)));
    return protocol::CertificateRecord{number.toStdString(), path.toStdString()};
}

void CCalibrationAssistant::FinishReport() {
    const std::optional<QString> technician = Technician();
    if (!technician) return;
    IdentityChanged();  // the session takes the name just given
    const protocol::RegisterWords asLeft = m_link.Words();
    m_session.RecordAsLeft(asLeft);
    if (const auto certificate = SaveCertificate(m_session, asLeft)) {
        m_session.RecordCertificate(*certificate);
        CheckJournal();
    }
}
