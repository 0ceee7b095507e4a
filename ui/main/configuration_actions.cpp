#include "ui/main/configuration_actions.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>

#include "protocol/register_table.h"
#include "protocol/value_check.h"
#include "ui/dialogs/appstate.h"
#include "ui/framework/dialog.h"
#include "ui/framework/textconv.h"
#include "ui/main/busy_rows.h"
#include "ui/main/checked_write.h"
#include "ui/main/configuration_table.h"
#include "ui/main/configuration_text_ids.h"
#include "ui/main/control_ids.h"
#include "ui/main/field_table.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"
#include "ui/main/notice.h"

using namespace configtext;
using protocol::RegisterWords;

namespace {

const protocol::RegisterRow& Row(int index) {
    return protocol::kRegisterTable[static_cast<std::size_t>(index)];
}

// The registers a file sets on a device: the configuration. The calibration
// words (20..23) belong to the unit they were measured on, so a file made
// on another unit must not overwrite them; corvexa-cli restore keeps them
// too unless told otherwise.
bool Applicable(int index) {
    return Row(index).write.has_value() && index < protocol::kZeroSampleIndex;
}

bool ReadByThisVersion(int index) {
    return factoryMode != 0 || Row(index).userVersion;
}

bool IsBox(const SField& field) {
    const protocol::RegisterRow& row = Row(field.index);
    return row.kind == protocol::RegisterKind::Code;
}

QString Title() {
    return MainText(kTxtConfigTitle);
}

}  // namespace

CConfigurationActions::CConfigurationActions(CDialog& dlg, protocol::CTransmitterLink& link,
                                             CBusyRows& busy, WriteListener written)
    : m_dlg(dlg), m_link(link), m_busy(busy), m_written(std::move(written)) {
    m_path = [this](bool save) {
        const QString filter = QStringLiteral("JSON (*.json)");
        return save ? QFileDialog::getSaveFileName(&m_dlg, Title(), QString(), filter)
                    : QFileDialog::getOpenFileName(&m_dlg, Title(), QString(), filter);
    };
}

CConfigurationActions::~CConfigurationActions() = default;

QString CConfigurationActions::ShowingFileNote() const {
    return m_showingFile ? MainText(kTxtConfigShowingFile).arg(m_fileName) : QString();
}

void CConfigurationActions::OnSave(bool online) {
    std::optional<RegisterWords> words;
    if (online) {
        words = m_link.Words();
    } else if (m_showingFile) {
        words = EditedWords();
        if (!words) return;  // a refusal box said why
    } else {
        ShowNotice(Title(), MainText(kTxtConfigNothingToSave));
        return;
    }
    QStringList missing;
    for (int i = 0; i < protocol::kRegisterCount; ++i)
        if (!(*words)[static_cast<std::size_t>(i)]) missing << MainText(Row(i).nameTextId);
    if (!missing.isEmpty()) {
        // A file lacking a word could never be read back.
        ShowNotice(Title(),
                   MainText(kTxtConfigNotComplete).arg(missing.join(QStringLiteral(", "))));
        return;
    }
    const QString path = m_path ? m_path(true) : QString();
    if (path.isEmpty()) return;
    protocol::Configuration file;
    file.time = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString();
    file.port = online ? m_dlg.GetDlgItemText(mainwnd::IDC_PORT).toStdString() : std::string();
    file.words = *words;
    const std::string problem = protocol::SaveConfiguration(path.toStdString(), file);
    if (!problem.empty()) {
        ShowNotice(Title(), MainText(kTxtConfigCannotUse).arg(QString::fromStdString(problem)));
        return;
    }
    if (m_showingFile) {
        m_file = file;
        m_fileName = QFileInfo(path).fileName();
    }
    ShowNotice(Title(), MainText(kTxtConfigSaved).arg(path));
}

bool CConfigurationActions::LoadFile(const QString& path) {
    protocol::Configuration file;
    const std::string problem = protocol::LoadConfiguration(path.toStdString(), file);
    if (!problem.empty()) {
        ShowNotice(Title(), MainText(kTxtConfigCannotUse).arg(QString::fromStdString(problem)));
        return false;
    }
    m_file = file;
    m_fileName = QFileInfo(path).fileName();
    return true;
}

void CConfigurationActions::OnOpen(bool online, bool connected) {
    const QString path = m_path ? m_path(false) : QString();
    if (path.isEmpty() || !LoadFile(path)) return;
    if (online) {
        ShowTable(false);
    } else if (!connected) {
        ShowFileInFields();
    }
}

void CConfigurationActions::ShowFileInFields() {
    const RegisterWords& words = m_file->words;
    const std::uint16_t decimals = words[protocol::kDecimalsIndex].value_or(0);
    m_shownTexts.assign(protocol::kRegisterCount, QString());
    for (const SField& f : kFields) {
        const std::uint16_t word = *words[static_cast<std::size_t>(f.index)];
        QString& shown = m_shownTexts[static_cast<std::size_t>(f.index)];
        if (IsBox(f)) {
            m_dlg.ComboSetCurSel(f.control, word);
            shown = QString::number(m_dlg.ComboGetCurSel(f.control));
        } else {
            shown = ToQString(protocol::WindowText(f.index, word, decimals));
            m_dlg.SetDlgItemText(f.control, shown);
        }
        // Editable for the file; the buttons stay off, there is no device.
        m_dlg.EnableItem(f.control, true);
    }
    const QString unit = ToQString(protocol::UnitLabel(words[protocol::kUnitIndex].value_or(0)));
    for (int id : UnitControls()) m_dlg.SetDlgItemText(id, unit);
    m_showingFile = true;
}

std::optional<RegisterWords> CConfigurationActions::EditedWords() const {
    RegisterWords words = m_file->words;
    const std::uint16_t decimals = words[protocol::kDecimalsIndex].value_or(0);
    for (const SField& f : kFields) {
        const protocol::RegisterRow& row = Row(f.index);
        if (!row.write) continue;
        const QString& shown = m_shownTexts[static_cast<std::size_t>(f.index)];
        std::optional<std::uint16_t> word;
        if (IsBox(f)) {
            const int selection = m_dlg.ComboGetCurSel(f.control);
            if (QString::number(selection) == shown) continue;
            word = CheckedSelectionWord(*row.write, selection);
        } else {
            const QString text = m_dlg.GetDlgItemText(f.control);
            // The edit shows a scaled word to one decimal place: untouched,
            // it keeps the file's exact word.
            if (text == shown) continue;
            word = CheckedTypedWord(*row.write, text.toStdWString(), decimals);
        }
        if (!word) return std::nullopt;
        words[static_cast<std::size_t>(f.index)] = *word;
    }
    return words;
}

bool CConfigurationActions::FileAndDevice(bool online) const {
    if (!m_file) {
        ShowNotice(Title(), MainText(kTxtConfigOpenFirst));
        return false;
    }
    if (!online) {
        ShowNotice(Title(), MainText(kTxtConfigConnectFirst));
        return false;
    }
    return true;
}

void CConfigurationActions::OnCompare(bool online) {
    if (FileAndDevice(online)) ShowTable(false);
}

QStringList CConfigurationActions::Refusals(const RegisterWords& device) const {
    QStringList refusals;
    RegisterWords after = device;
    for (const SStep& step : m_steps) {
        after[static_cast<std::size_t>(step.index)] = step.word;
        const protocol::RegisterRow& row = Row(step.index);
        if (row.kind == protocol::RegisterKind::Code &&
            protocol::CodeName(row.codes, step.word).empty())
            refusals
                << MainText(kTxtConfigUnknownCode).arg(MainText(row.nameTextId)).arg(step.word);
    }
    const auto lower = after[protocol::kLowerLimitIndex];
    const auto upper = after[protocol::kUpperLimitIndex];
    if (lower && upper && protocol::LimitsInverted(*lower, *upper))
        refusals << MainText(kTxtConfigLimitsInverted)
                        .arg(static_cast<std::int16_t>(*lower))
                        .arg(static_cast<std::int16_t>(*upper));
    return refusals;
}

void CConfigurationActions::OnApply(bool online) {
    if (m_applying || !FileAndDevice(online)) return;
    const RegisterWords device = m_link.Words();
    m_steps.clear();
    for (int i = 0; i < protocol::kRegisterCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        if (!Applicable(i) || !ReadByThisVersion(i) || device[at] == m_file->words[at]) continue;
        m_steps.push_back({i, *m_file->words[at], SStep::State::Pending, {}});
    }
    if (const QStringList refusals = Refusals(device); !refusals.isEmpty()) {
        m_steps.clear();
        ShowNotice(MainText(kTxtConfigApply),
                   MainText(kTxtConfigNothingSent).arg(refusals.join(QStringLiteral("; "))));
        return;
    }
    if (m_steps.empty()) {
        ShowNotice(MainText(kTxtConfigApply), MainText(kTxtConfigAlreadyHeld));
        return;
    }
    m_applying = true;
    SendNext();
}

void CConfigurationActions::SendNext() {
    for (SStep& step : m_steps) {
        if (step.state != SStep::State::Pending) continue;
        const protocol::OperationCode code = *Row(step.index).write;
        if (!m_link.StartWriteTask(code, step.word)) {
            for (SStep& rest : m_steps)
                if (rest.state == SStep::State::Pending) rest.state = SStep::State::NotSent;
            break;
        }
        m_pendingCode = static_cast<int>(code);
        m_busy.Begin(m_pendingCode);
        if (m_written) m_written(code, step.word);
        return;
    }
    // Whatever the echoes said, the table shows what the device holds now.
    m_awaitingReadBack = m_link.StartReadAllTask();
    if (!m_awaitingReadBack) FinishApply();
}

bool CConfigurationActions::WriteFinished(int code, std::intptr_t result) {
    if (!m_applying || code != m_pendingCode) return false;
    m_pendingCode = -1;
    for (SStep& step : m_steps) {
        if (step.state != SStep::State::Pending) continue;
        if (protocol::ResultFailure(result) == protocol::ExchangeFailure::None) {
            step.state = SStep::State::Confirmed;
            break;
        }
        step.state = SStep::State::NotConfirmed;
        const QString name = MainText(Row(step.index).nameTextId);
        step.why = FailureDetail(result, name);
        if (step.why.isEmpty()) step.why = MainText(maintext::kWriteFailedText);
        // The first write not confirmed stops the rest: the device is in a
        // state nobody asked for, and the read-back shows which.
        for (SStep& rest : m_steps)
            if (rest.state == SStep::State::Pending) rest.state = SStep::State::NotSent;
        break;
    }
    SendNext();
    return true;
}

void CConfigurationActions::ReadAllDone() {
    if (!m_awaitingReadBack) return;
    m_awaitingReadBack = false;
    FinishApply();
}

void CConfigurationActions::Disconnected() {
    if (!m_applying) return;
    for (SStep& step : m_steps)
        if (step.state == SStep::State::Pending) step.state = SStep::State::NotSent;
    m_pendingCode = -1;
    m_awaitingReadBack = false;
    FinishApply();
}

void CConfigurationActions::FinishApply() {
    m_applying = false;
    ShowTable(true);
}

QString CConfigurationActions::WordText(int index, const RegisterWords& words) const {
    const auto word = words[static_cast<std::size_t>(index)];
    if (!word) return QStringLiteral("—");
    const protocol::WordContext context{words[protocol::kDecimalsIndex],
                                        words[protocol::kUnitIndex]};
    return QString::fromStdString(protocol::ExactText(index, *word, context));
}

void CConfigurationActions::ShowTable(bool afterApply) {
    const RegisterWords device = m_link.Words();
    const RegisterWords& file = m_file->words;
    std::vector<CConfigurationTable::SRow> rows;
    for (int i = 0; i < protocol::kRegisterCount; ++i) {
        if (i == protocol::kReservedIndex) continue;
        const auto at = static_cast<std::size_t>(i);
        const bool differs = device[at] != file[at];
        QString result = MainText(differs ? kTxtConfigDiffers : kTxtConfigSame);
        bool marked = differs;
        if (!ReadByThisVersion(i)) {
            result = MainText(kTxtConfigNotRead);
            marked = false;
        } else if (afterApply && differs && !Applicable(i) && Row(i).write) {
            result = MainText(kTxtConfigCalibrationKept);
        }
        if (afterApply) {
            for (const SStep& step : m_steps) {
                if (step.index != i) continue;
                switch (step.state) {
                    case SStep::State::Confirmed:
                        result = MainText(!device[at] ? kTxtConfigReadBackFailed
                                          : differs   ? kTxtConfigReadBackDiffers
                                                      : kTxtConfigReadBack);
                        break;
                    case SStep::State::NotConfirmed:
                        result = MainText(kTxtConfigNotWritten).arg(step.why);
                        marked = true;
                        break;
                    case SStep::State::Pending:
                    case SStep::State::NotSent:
                        result = MainText(kTxtConfigNotSent);
                        marked = true;
                        break;
                }
            }
        }
        rows.push_back(
            {{MainText(Row(i).nameTextId), WordText(i, device), WordText(i, file), result},
             marked});
    }
    if (m_table == nullptr) m_table = new CConfigurationTable(&m_dlg);
    const QString title = MainText(afterApply ? kTxtConfigApply : kTxtConfigCompare);
    m_tableAfterApply = afterApply;
    QString heading = MainText(kTxtConfigFileHeading).arg(m_fileName);
    // The tool never writes the decimals, so the file's scaled words land
    // as raw words, as corvexa-cli restore writes them; the technician
    // should know they mean other values here.
    const auto fileDecimals = file[protocol::kDecimalsIndex];
    const auto deviceDecimals = device[protocol::kDecimalsIndex];
    if (deviceDecimals && fileDecimals != deviceDecimals)
        heading +=
            u'\n' + MainText(kTxtConfigDecimalsDiffer).arg(*fileDecimals).arg(*deviceDecimals);
    m_table->Show(title, heading,
                  {MainText(kTxtConfigParameter), MainText(kTxtConfigDevice),
                   MainText(kTxtConfigFile), MainText(kTxtConfigResult)},
                  rows);
}

void CConfigurationActions::RefreshTexts() {
    if (m_table != nullptr && m_table->isVisible() && m_file) ShowTable(m_tableAfterApply);
}
