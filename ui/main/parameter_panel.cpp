#include "ui/main/parameter_panel.h"

#include "protocol/conversions.h"
#include "protocol/register_table.h"
#include "protocol/registers.h"
#include "protocol/value_check.h"
#include "ui/dialogs/dlgcustommsgbox.h"
#include "ui/framework/dialog.h"
#include "ui/framework/textconv.h"
#include "ui/main/busy_rows.h"
#include "ui/main/checked_write.h"
#include "ui/main/control_ids.h"
#include "ui/main/field_marks.h"
#include "ui/main/field_table.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"

using namespace mainwnd;
using protocol::OperationCode;

CParameterPanel::CParameterPanel(CDialog& dlg, protocol::CTransmitterLink& link,
                                 protocol::DeviceParameters& params, CBusyRows& busy,
                                 CFieldMarks& marks)
    : m_dlg(dlg), m_link(link), m_params(params), m_busy(busy), m_marks(marks) {}

void CParameterPanel::BindEdits() {
    for (const SField& f : kFields)
        if (std::wstring* text = protocol::TextField(m_params, f.index))
            m_dlg.BindText(f.control, text);
}

void CParameterPanel::FillBoxes() {
    m_dlg.ComboResetContent(IDC_SOURCE);
    for (const protocol::SignalSourceEntry& e : protocol::kSignalSources)
        m_dlg.ComboAddString(IDC_SOURCE, QString::fromWCharArray(e.firstFill));
    m_dlg.ComboSetCurSel(IDC_SOURCE, m_params.signalSource);

    m_dlg.ComboResetContent(IDC_GAIN);
    for (const wchar_t* text : protocol::kGainTexts)
        m_dlg.ComboAddString(IDC_GAIN, QString::fromWCharArray(text));
    m_dlg.ComboSetCurSel(IDC_GAIN, m_params.gain);
}

CParameterPanel::SShown CParameterPanel::ShowValues() {
    // A sampling pass brings only its sample: a spin step or an edit typed
    // but not sent yet must survive it.
    const protocol::CTransmitterLink::ParameterUpdate update = m_link.TakeUpdate();
    const protocol::DeviceParameters& v = update.values;
    if (update.Changed(protocol::kSignalSourceIndex)) {
        m_params.signalSource = v.signalSource;
        m_dlg.ComboSetCurSel(IDC_SOURCE, m_params.signalSource);
    }
    if (update.Changed(protocol::kGainIndex)) {
        m_params.gain = v.gain;
        m_dlg.ComboSetCurSel(IDC_GAIN, m_params.gain);
    }
    if (update.Changed(protocol::kBaudCodeIndex)) m_params.baudCode = v.baudCode;
    if (update.Changed(protocol::kDecimalsIndex)) m_params.decimals = v.decimals;
    for (const SField& f : kFields) {
        std::wstring* text = protocol::TextField(m_params, f.index);
        if (text == nullptr || !update.Changed(f.index)) continue;
        *text = *protocol::TextField(update.values, f.index);
        m_dlg.SetDlgItemText(f.control, *text);
    }
    if (update.Changed(protocol::kUnitIndex)) {
        m_params.unit = v.unit;
        ShowUnit();
    }
    for (int index = 0; index < protocol::kRegisterCount; ++index)
        if (update.Changed(index)) m_marks.Clear(index);
    return {update.changed, update.sampled};
}

void CParameterPanel::NoAnswer(int index) {
    if (index == protocol::kSignalSourceIndex)
        m_params.signalSource = 0xFFFF;
    else if (index == protocol::kGainIndex)
        m_params.gain = 0xFFFF;
    if (std::wstring* text = protocol::TextField(m_params, index)) text->clear();
    m_marks.MarkNoAnswer(index);
}

void CParameterPanel::Refused(int index, const QString& words) {
    NoAnswer(index);
    m_marks.MarkRefused(index, words);
}

void CParameterPanel::Started(OperationCode code, std::optional<std::uint16_t> word) {
    if (!word || !m_link.StartWriteTask(code, *word)) return;
    m_busy.Begin(static_cast<int>(code));
    if (m_onWrite) m_onWrite(code, *word);
}

void CParameterPanel::ShowUnit() {
    const QString unit = ToQString(protocol::UnitLabel(m_params.unit));
    for (int id : UnitControls()) m_dlg.SetDlgItemText(id, unit);
}

void CParameterPanel::WriteText(OperationCode code, const std::wstring& text) {
    const std::optional<std::uint16_t> word = CheckedTypedWord(code, text, m_params.decimals);
    if (!word) {
        m_link.ReportRefused(
            code, text,
            protocol::DescribeProblem(protocol::CheckTypedValue(code, text, m_params.decimals)));
        return;
    }
    const std::wstring& other =
        code == OperationCode::WriteLowerLimit ? m_params.upperLimit : m_params.lowerLimit;
    if (!ConfirmLimits(code, *word, other)) return;
    Started(code, word);
}

void CParameterPanel::WriteSelection(OperationCode code, int boxId, std::uint16_t& field) {
    const int selection = m_dlg.ComboGetCurSel(boxId);
    field = protocol::SelectionToWord(selection);
    if (const std::optional<std::uint16_t> word = CheckedSelectionWord(code, selection))
        Started(code, word);
}

void CParameterPanel::OnModify(const SField& field) {
    const protocol::RegisterRow* row = protocol::RowOfIndex(field.index);
    if (row == nullptr || !row->write) return;
    if (std::uint16_t* code = protocol::CodeField(m_params, field.index)) {
        WriteSelection(*row->write, field.control, *code);
        return;
    }
    m_dlg.UpdateData(true);
    if (const std::wstring* text = protocol::TextField(m_params, field.index))
        WriteText(*row->write, *text);
}

int CParameterPanel::ResultTitleId(int code) {
    if (code < 17 || code > 26) return 0;
    return protocol::ResultStringNumber(static_cast<OperationCode>(code));
}

void CParameterPanel::ShowWriteResult(int code, std::intptr_t result, const QString& note) {
    const int titleId = ResultTitleId(code);
    const QString title = titleId != 0 ? MainText(titleId) : QString();
    const bool success = protocol::ResultFailure(result) == protocol::ExchangeFailure::None;
    CDlgCustomMsgbox box;
    box.m_strTitle = ToWString(title);
    QString message =
        MainText(success ? maintext::kWriteSucceededText : maintext::kWriteFailedText);
    if (const QString detail = FailureDetail(result, title); !detail.isEmpty())
        message += QStringLiteral("\n") + detail;
    if (!note.isEmpty()) message += QStringLiteral("\n") + note;
    box.m_strMsg = ToWString(message);
    box.DoModal();
}
