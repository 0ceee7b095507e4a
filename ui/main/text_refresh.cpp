#include "ui/main/text_refresh.h"

#include "protocol/registers.h"
#include "ui/framework/dialog.h"
#include "ui/main/control_ids.h"
#include "ui/main/main_text.h"

using namespace mainwnd;

namespace {

// Controls whose text never depends on the state, in refresh order. The
// stateful ones (connect button, status, sample buttons) are set in
// between, at their place in the order.
struct SText {
    int control;
    int text;
};

constexpr SText kBeforeState[] = {
    {IDC_PORT_LABEL, 105},
    {IDC_BAUD_LABEL, 106},
};

constexpr SText kLabels[] = {
    {IDC_SOURCE_LABEL, 111}, {IDC_SOURCE_NOTE, 112},   {IDC_OFFSET_LABEL, 113},
    {IDC_OFFSET_NOTE, 114},  {IDC_LOWER_LABEL, 116},   {IDC_UPPER_LABEL, 115},
    {IDC_RANGE_NOTE, 117},   {IDC_GAIN_LABEL, 118},    {IDC_GAIN_NOTE, 119},
    {IDC_TEMP_LABEL, 120},   {IDC_TEMP_NOTE, 121},     {IDC_ZERO_SAMPLE_LABEL, 122},
    {IDC_FULL_SAMPLE_LABEL, 123}, {IDC_NOTE_RTD, 124}, {IDC_NOTE_TC, 125},
    {IDC_NOTE_OTHER, 126},   {IDC_ZERO_OUT_LABEL, 127}, {IDC_OUT_NOTE, 129},
    {IDC_FULL_OUT_LABEL, 128},
};

constexpr SText kButtons[] = {
    {IDC_ZERO_OUT_SET, 132}, {IDC_FULL_OUT_SET, 132}, {IDC_TEMP_SET, 131},
    {IDC_GAIN_SET, 131},     {IDC_UPPER_SET, 131},    {IDC_LOWER_SET, 131},
    {IDC_OFFSET_SET, 131},   {IDC_SOURCE_SET, 131},
};

}  // namespace

void CTextRefresh::Refresh(const SRefreshState& state)
{
    SetTexts(state);
    ShowFactoryControls(state.factoryMode);
    RebuildSignalSources(state.signalSource);
}

void CTextRefresh::SetTexts(const SRefreshState& state)
{
    m_dlg.SetWindowText(MainText(102));
    for (const SText& t : kBeforeState)
        m_dlg.SetDlgItemText(t.control, MainText(t.text));
    m_dlg.SetDlgItemText(IDC_CONNECT, MainText(ConnectTextId(state.connected)));
    m_dlg.SetDlgItemText(IDC_STATUS, MainText(StatusTextId(state.connected)));
    for (const SText& t : kLabels)
        m_dlg.SetDlgItemText(t.control, MainText(t.text));
    m_dlg.SetDlgItemText(IDC_ZERO_SAMPLE_BTN, MainText(SampleTextId(state.zeroSampling)));
    m_dlg.SetDlgItemText(IDC_FULL_SAMPLE_BTN, MainText(SampleTextId(state.fullSampling)));
    for (const SText& t : kButtons)
        m_dlg.SetDlgItemText(t.control, MainText(t.text));
}

void CTextRefresh::ShowFactoryControls(bool factory)
{
    for (int id : kFactoryOnly)
        m_dlg.ShowItem(id, factory);
}

void CTextRefresh::RebuildSignalSources(std::uint16_t code)
{
    m_dlg.ComboResetContent(IDC_SOURCE);
    for (int pos = 0; pos < protocol::kSignalSourceCount; ++pos) {
        const protocol::SignalSourceEntry& e = protocol::kSignalSources[pos];
        const QString text = e.stringNumber != 0 ? MainText(e.stringNumber)
                                                 : QString::fromWCharArray(e.firstFill);
        m_dlg.ComboInsertString(IDC_SOURCE, pos, text);
    }
    // A code outside the list (0xFFFF before the first read) selects nothing.
    m_dlg.ComboSetCurSel(IDC_SOURCE, code < protocol::kSignalSourceCount ? code : -1);
}
