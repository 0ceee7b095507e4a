#include "ui/main/text_refresh.h"

#include "protocol/registers.h"
#include "ui/framework/dialog.h"
#include "ui/main/control_ids.h"
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
};

constexpr SText kLabels[] = {
    {IDC_SOURCE_LABEL, kSourceLabelText},
    {IDC_SOURCE_NOTE, kSourceNoteText},
    {IDC_OFFSET_LABEL, kOffsetLabelText},
    {IDC_OFFSET_NOTE, kOffsetNoteText},
    {IDC_LOWER_LABEL, kLowerLabelText},
    {IDC_UPPER_LABEL, kUpperLabelText},
    {IDC_RANGE_NOTE, kRangeNoteText},
    {IDC_GAIN_LABEL, kGainLabelText},
    {IDC_GAIN_NOTE, kGainNoteText},
    {IDC_TEMP_LABEL, kTempLabelText},
    {IDC_TEMP_NOTE, kTempNoteText},
    {IDC_ZERO_SAMPLE_LABEL, kZeroSampleLabelText},
    {IDC_FULL_SAMPLE_LABEL, kFullSampleLabelText},
    {IDC_NOTE_RTD, kRtdNoteText},
    {IDC_NOTE_TC, kTcNoteText},
    {IDC_NOTE_OTHER, kOtherNoteText},
    {IDC_ZERO_OUT_LABEL, kZeroOutLabelText},
    {IDC_OUT_NOTE, kOutNoteText},
    {IDC_FULL_OUT_LABEL, kFullOutLabelText},
};

constexpr SText kButtons[] = {
    {IDC_ZERO_OUT_SET, kSetText},  {IDC_FULL_OUT_SET, kSetText},  {IDC_TEMP_SET, kModifyText},
    {IDC_GAIN_SET, kModifyText},   {IDC_UPPER_SET, kModifyText},  {IDC_LOWER_SET, kModifyText},
    {IDC_OFFSET_SET, kModifyText}, {IDC_SOURCE_SET, kModifyText},
};

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
    for (const SText& t : kLabels) m_dlg.SetDlgItemText(t.control, MainText(t.text));
    m_dlg.SetDlgItemText(IDC_ZERO_SAMPLE_BTN, MainText(SampleTextId(state.zeroSampling)));
    m_dlg.SetDlgItemText(IDC_FULL_SAMPLE_BTN, MainText(SampleTextId(state.fullSampling)));
    for (const SText& t : kButtons) m_dlg.SetDlgItemText(t.control, MainText(t.text));
}

void CTextRefresh::ShowFactoryControls(bool factory) {
    for (int id : kFactoryOnly) m_dlg.ShowItem(id, factory);
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
