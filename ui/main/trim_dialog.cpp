#include "ui/main/trim_dialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <limits>

#include "ui/framework/textconv.h"
#include "ui/main/calibration_text_ids.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"

using namespace calibtext;
using protocol::OutputSignal;
using protocol::TrimProblem;

namespace {

QString TargetText(double value, OutputSignal signal) {
    return QStringLiteral("%1 %2").arg(value).arg(signal == OutputSignal::Voltage0To10V ? "V"
                                                                                        : "mA");
}

int ProblemTextId(TrimProblem problem) {
    switch (problem) {
        case TrimProblem::NotANumber:
            return kTxtNotANumber;
        case TrimProblem::EqualReadings:
            return kTxtEqualReadings;
        case TrimProblem::ReadingsReversed:
            return kTxtReversedReadings;
        case TrimProblem::WordOutOfRange:
            return kTxtWordOutOfRange;
        case TrimProblem::None:
            break;
    }
    return 0;
}

}  // namespace

CTrimDialog::CTrimDialog(std::uint16_t zeroWord, std::uint16_t fullWord, QWidget* parent)
    : CDialog(kTemplate, parent), m_zeroWord(zeroWord), m_fullWord(fullWord) {
    MapCommand(IDC_SEND, &CTrimDialog::OnSend);
    MapCommand(IDC_ANOTHER_ROUND, &CTrimDialog::OnAnotherRound);
}

bool CTrimDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    // Units are the same in every language.
    ComboAddString(IDC_SIGNAL, QStringLiteral("4–20 mA"));
    ComboAddString(IDC_SIGNAL, QStringLiteral("0–10 V"));
    ComboSetCurSel(IDC_SIGNAL, m_signal == OutputSignal::Voltage0To10V ? 1 : 0);
    if (auto* box = ItemAs<QComboBox>(IDC_SIGNAL))
        connect(box, &QComboBox::currentIndexChanged, this, [this] { Recompute(); });
    for (int id : {IDC_ZERO_READING, IDC_FULL_READING}) {
        if (auto* edit = ItemAs<QLineEdit>(id))
            connect(edit, &QLineEdit::textChanged, this, [this] { Recompute(); });
    }
    RefreshTexts();
    StartRound();
    GotoDlgCtrl(IDC_ZERO_READING);
    return false;
}

void CTrimDialog::RefreshTexts() {
    SetWindowText(MainText(kTxtTrimCaption));
    SetDlgItemText(IDC_SIGNAL_LABEL, MainText(kTxtOutput));
    SetDlgItemText(IDC_NOTE, MainText(kTxtTrimNote));
    SetDlgItemText(IDC_TARGET_HEAD, MainText(kTxtTarget));
    SetDlgItemText(IDC_READING_HEAD, MainText(kTxtMeterReading));
    SetDlgItemText(IDC_NOW_HEAD, MainText(kTxtWordNow));
    SetDlgItemText(IDC_NEW_HEAD, MainText(kTxtNewWord));
    SetDlgItemText(IDC_ZERO_LABEL, MainText(maintext::kZeroOutLabelText));
    SetDlgItemText(IDC_FULL_LABEL, MainText(maintext::kFullOutLabelText));
    SetDlgItemText(IDC_SEND, MainText(kTxtSendNewWords));
    SetDlgItemText(IDC_ANOTHER_ROUND, MainText(kTxtAnotherRound));
    SetDlgItemText(IDCANCEL, MainText(kTxtClose));
    if (IsBuilt()) Recompute();
}

void CTrimDialog::SetSignal(OutputSignal signal) {
    m_signal = signal;
    if (IsBuilt()) ComboSetCurSel(IDC_SIGNAL, signal == OutputSignal::Voltage0To10V ? 1 : 0);
}

void CTrimDialog::SetCurrentWords(std::uint16_t zeroWord, std::uint16_t fullWord) {
    m_zeroWord = zeroWord;
    m_fullWord = fullWord;
    if (IsBuilt()) StartRound();
}

OutputSignal CTrimDialog::Signal() const {
    if (!IsBuilt()) return m_signal;
    return ComboGetCurSel(IDC_SIGNAL) == 1 ? OutputSignal::Voltage0To10V
                                           : OutputSignal::Current4To20mA;
}

std::optional<protocol::TrimRequest> CTrimDialog::Request() const {
    const std::wstring zeroText = ToWString(GetDlgItemText(IDC_ZERO_READING));
    const std::wstring fullText = ToWString(GetDlgItemText(IDC_FULL_READING));
    if (QString::fromStdWString(zeroText).trimmed().isEmpty() ||
        QString::fromStdWString(fullText).trimmed().isEmpty())
        return std::nullopt;
    // A text that is no number reaches the arithmetic as NaN, which refuses it.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return protocol::TrimRequest{Signal(), m_zeroWord, m_fullWord,
                                 protocol::ParseReading(zeroText).value_or(nan),
                                 protocol::ParseReading(fullText).value_or(nan)};
}

std::optional<protocol::TrimResult> CTrimDialog::Result() const {
    const auto request = Request();
    if (!request) return std::nullopt;
    return protocol::ComputeTrim(*request);
}

void CTrimDialog::StartRound() {
    m_sent = false;
    SetDlgItemText(IDC_ZERO_NOW, QString::number(m_zeroWord));
    SetDlgItemText(IDC_FULL_NOW, QString::number(m_fullWord));
    SetDlgItemText(IDC_ZERO_READING, QString());
    SetDlgItemText(IDC_FULL_READING, QString());
    EnableItem(IDC_SIGNAL, true);
    EnableItem(IDC_ZERO_READING, true);
    EnableItem(IDC_FULL_READING, true);
    Recompute();
}

void CTrimDialog::Recompute() {
    const OutputSignal signal = Signal();
    const protocol::OutputTargets targets = protocol::TargetsOf(signal);
    SetDlgItemText(IDC_ZERO_TARGET, TargetText(targets.zero, signal));
    SetDlgItemText(IDC_FULL_TARGET, TargetText(targets.full, signal));
    EnableItem(IDC_ANOTHER_ROUND, m_sent);
    if (m_sent) return;  // the sent round stays on view until the next one

    const auto result = Result();
    const bool ok = result && result->ok();
    SetDlgItemText(IDC_ZERO_NEW, ok ? QString::number(result->newZeroWord) : QString());
    SetDlgItemText(IDC_FULL_NEW, ok ? QString::number(result->newFullWord) : QString());
    if (!result)
        SetDlgItemText(IDC_STATUS, MainText(kTxtTypeBoth));
    else
        SetDlgItemText(IDC_STATUS, ok ? QString() : MainText(ProblemTextId(result->problem)));
    EnableItem(IDC_SEND, ok);
}

void CTrimDialog::OnSend() {
    const auto request = Request();
    if (!request || m_sent) return;
    const protocol::TrimResult result = protocol::ComputeTrim(*request);
    if (!result.ok()) return;
    m_sent = true;
    ++m_roundsSent;
    m_zeroWord = result.newZeroWord;
    m_fullWord = result.newFullWord;
    EnableItem(IDC_SEND, false);
    EnableItem(IDC_SIGNAL, false);
    EnableItem(IDC_ZERO_READING, false);
    EnableItem(IDC_FULL_READING, false);
    SetDlgItemText(IDC_STATUS, MainText(kTxtRoundSent));
    Recompute();
    GotoDlgCtrl(IDC_ANOTHER_ROUND);
    if (m_onConfirm) m_onConfirm(*request, result);
}

void CTrimDialog::OnAnotherRound() {
    StartRound();
    GotoDlgCtrl(IDC_ZERO_READING);
}
