#include "ui/main/text_refresh.h"

#include "protocol/register_table.h"
#include "ui/framework/dialog.h"
#include "ui/main/control_ids.h"
#include "ui/main/field_table.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"

using namespace mainwnd;
using namespace maintext;

namespace {

// Controls whose text never depends on the state, in refresh order. The
// stateful ones (connect button, status, sample buttons) are set in
// between, at their place in the order.
struct SText {
    int control;
    int text;
};

constexpr SText kBeforeState[] = {
    {IDC_PORT_LABEL, kPortLabelText},
    {IDC_BAUD_LABEL, kBaudLabelText},
    {IDC_ADAPTER_ECHO, kAdapterEchoText},
};

// The calibration notes beside the sample fields.
constexpr SText kCalibrationNotes[] = {
    {IDC_NOTE_RTD, kRtdNoteText},
    {IDC_NOTE_TC, kTcNoteText},
    {IDC_NOTE_OTHER, kOtherNoteText},
};

int LabelTextOf(const SField& f) {
    return protocol::RowOfIndex(f.index)->nameTextId;
}

}  // namespace

void CTextRefresh::Refresh(const SRefreshState& state) {
    SetTexts(state);
    ShowFactoryControls(state.factoryMode);
    RebuildSignalSources(state.signalSource);
}

void CTextRefresh::SetTexts(const SRefreshState& state) {
    m_dlg.SetWindowText(MainText(kCaptionText));
    for (const SText& t : kBeforeState) m_dlg.SetDlgItemText(t.control, MainText(t.text));
    m_dlg.SetDlgItemText(IDC_CONNECT, MainText(ConnectTextId(state.connected)));
    m_dlg.SetDlgItemText(IDC_STATUS, MainText(StatusTextId(state.connected)));
    for (const SField& f : kFields) {
        m_dlg.SetDlgItemText(f.label, MainText(LabelTextOf(f)));
        if (f.note != 0) m_dlg.SetDlgItemText(f.note, MainText(f.noteText));
    }
    for (const SText& t : kCalibrationNotes) m_dlg.SetDlgItemText(t.control, MainText(t.text));
    m_dlg.SetDlgItemText(IDC_ZERO_SAMPLE_BTN, MainText(SampleTextId(state.zeroSampling)));
    m_dlg.SetDlgItemText(IDC_FULL_SAMPLE_BTN, MainText(SampleTextId(state.fullSampling)));
    for (const SField& f : kFields)
        if (!f.sample) m_dlg.SetDlgItemText(f.button, MainText(f.buttonText));
}

void CTextRefresh::ShowFactoryControls(bool factory) {
    for (int id : FactoryOnlyControls()) m_dlg.ShowItem(id, factory);
}

void CTextRefresh::RebuildSignalSources(std::uint16_t code) {
    m_dlg.ComboResetContent(IDC_SOURCE);
    for (int pos = 0; pos < protocol::kSignalSourceCount; ++pos) {
        const protocol::SignalSourceEntry& e = protocol::kSignalSources[pos];
        const QString text =
            e.stringNumber != 0 ? MainText(e.stringNumber) : QString::fromWCharArray(e.firstFill);
        m_dlg.ComboInsertString(IDC_SOURCE, pos, text);
    }
    // A code outside the list (0xFFFF before the first read) selects nothing.
    m_dlg.ComboSetCurSel(IDC_SOURCE, code < protocol::kSignalSourceCount ? code : -1);
}
