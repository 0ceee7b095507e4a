#include "ui/main/calibration_panel.h"

#include "protocol/registers.h"
#include "ui/framework/dialog.h"
#include "ui/framework/textconv.h"
#include "ui/framework/updownctrl.h"
#include "ui/main/busy_rows.h"
#include "ui/main/checked_write.h"
#include "ui/main/control_ids.h"
#include "ui/main/field_marks.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"
#include "ui/main/notice.h"
#include "ui/main/spin_step.h"
#include "ui/main/text_refresh.h"

using namespace mainwnd;
using namespace maintext;
using protocol::OperationCode;

// What distinguishes the zero from the full sample: its button, the other
// kind's button, the awaited register index, its text and its store code.
struct CCalibrationPanel::SSampleKind {
    int button;
    int otherButton;
    int registerIndex;
    std::wstring protocol::DeviceParameters::*field;
    OperationCode store;
    bool (protocol::CTransmitterLink::*get)() const;
    void (protocol::CTransmitterLink::*set)(bool);
};

CCalibrationPanel::CCalibrationPanel(CDialog& dlg, protocol::CTransmitterLink& link,
                                     protocol::DeviceParameters& params, CBusyRows& busy,
                                     CFieldMarks& marks)
    : m_dlg(dlg), m_link(link), m_params(params), m_busy(busy), m_marks(marks) {}

void CCalibrationPanel::InitSpins() {
    const std::pair<int, int> spins[] = {{IDC_ZERO_OUT_SPIN, IDC_ZERO_OUT},
                                         {IDC_FULL_OUT_SPIN, IDC_FULL_OUT}};
    for (auto [spinId, editId] : spins) {
        if (auto* spin = dynamic_cast<CUpDownCtrl*>(m_dlg.Item(spinId))) {
            // 0 to -1 as 16-bit values: the upper end lies below the lower,
            // so the up arrow reports a step of -1.
            spin->SetRange(0, -1);
            spin->SetBuddy(m_dlg.Item(editId));
        }
    }
}

void CCalibrationPanel::ToggleSampling(const SSampleKind& kind) {
    const bool on = !(m_link.*kind.get)();
    (m_link.*kind.set)(on);
    m_dlg.UpdateData(true);
    m_dlg.SetDlgItemText(kind.button, MainText(CTextRefresh::SampleTextId(on)));
    if (m_onSampling) m_onSampling(kind.registerIndex, on);
    if (on) {
        m_link.SetRegisterIndex(kind.registerIndex);
        m_dlg.EnableItem(kind.otherButton, false);
        return;
    }
    m_dlg.EnableItem(kind.otherButton, true);
    // A sample the device did not confirm lately is no calibration point:
    // sampling ends, nothing is stored.
    if (m_marks.NoReading(kind.registerIndex)) {
        ShowNotice(MainText(protocol::ResultStringNumber(kind.store)), MainText(kNotFreshText));
        return;
    }
    // Stores the value shown at the press, which is what the technician
    // accepted; a sampling reply that comes after it changes nothing sent.
    SendText(kind.store, m_params.*kind.field);
}

void CCalibrationPanel::SampleMissed(int index) {
    if (index == protocol::kZeroSampleIndex)
        m_params.zeroSample.clear();
    else if (index == protocol::kFullSampleIndex)
        m_params.fullSample.clear();
    else
        return;
    m_marks.MarkNoReading(index);
}

void CCalibrationPanel::SendText(OperationCode code, const std::wstring& text) {
    if (const std::optional<std::uint16_t> word = CheckedTypedWord(code, text, 0))
        if (m_link.StartWriteTask(code, *word)) {
            m_busy.Begin(static_cast<int>(code));
            if (m_onWrite) m_onWrite(code, *word);
        }
}

void CCalibrationPanel::OnZeroSample() {
    static const SSampleKind kZero{IDC_ZERO_SAMPLE_BTN,
                                   IDC_FULL_SAMPLE_BTN,
                                   protocol::kZeroSampleIndex,
                                   &protocol::DeviceParameters::zeroSample,
                                   OperationCode::WriteZeroSample,
                                   &protocol::CTransmitterLink::ZeroSampling,
                                   &protocol::CTransmitterLink::SetZeroSampling};
    ToggleSampling(kZero);
}

void CCalibrationPanel::OnFullSample() {
    static const SSampleKind kFull{IDC_FULL_SAMPLE_BTN,
                                   IDC_ZERO_SAMPLE_BTN,
                                   protocol::kFullSampleIndex,
                                   &protocol::DeviceParameters::fullSample,
                                   OperationCode::WriteFullSample,
                                   &protocol::CTransmitterLink::FullSampling,
                                   &protocol::CTransmitterLink::SetFullSampling};
    ToggleSampling(kFull);
}

void CCalibrationPanel::OnZeroOutputSet() {
    m_dlg.UpdateData(true);
    SendText(OperationCode::WriteZeroOutput, m_params.zeroOutput);
}

void CCalibrationPanel::OnFullOutputSet() {
    m_dlg.UpdateData(true);
    SendText(OperationCode::WriteFullOutput, m_params.fullOutput);
}

long CCalibrationPanel::Step(std::wstring& field, int delta) {
    m_dlg.UpdateData(true);
    field = ToWString(SpinStep(ToQString(field), delta));
    m_dlg.UpdateData(false);
    return 0;
}

long CCalibrationPanel::OnZeroOutputSpin(int delta) {
    return Step(m_params.zeroOutput, delta);
}

long CCalibrationPanel::OnFullOutputSpin(int delta) {
    return Step(m_params.fullOutput, delta);
}
