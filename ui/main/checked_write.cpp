#include "ui/main/checked_write.h"

#include "protocol/value_check.h"
#include "ui/dialogs/dlgcustommsgbox.h"
#include "ui/framework/dialog.h"
#include "ui/framework/textconv.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"

using protocol::CheckedValue;
using protocol::OperationCode;
using protocol::ValueProblem;

using namespace maintext;

namespace {

// "Main" texts of a refusal; %1 and %2 are the ends of the field's range.

int TimedBox(OperationCode code, const QString& message) {
    CDlgCustomMsgbox box;
    box.m_strTitle = ToWString(MainText(protocol::ResultStringNumber(code)));
    box.m_strMsg = ToWString(message);
    return box.DoModal();
}

std::optional<std::uint16_t> Accepted(OperationCode code, const CheckedValue& value) {
    if (value.ok()) return value.word;
    QString message;
    switch (value.problem) {
        case ValueProblem::NotANumber:
            message = MainText(kNotANumberText).arg(ToQString(value.low), ToQString(value.high));
            break;
        case ValueProblem::OutOfRange:
            message = MainText(kOutOfRangeText).arg(ToQString(value.low), ToQString(value.high));
            break;
        default:
            message = MainText(kNoSelectionText);
            break;
    }
    TimedBox(code, message);
    return std::nullopt;
}

}  // namespace

std::optional<std::uint16_t> CheckedTypedWord(OperationCode code, const std::wstring& text,
                                              std::uint16_t decimals) {
    return Accepted(code, protocol::CheckTypedValue(code, text, decimals));
}

std::optional<std::uint16_t> CheckedSelectionWord(OperationCode code, int selection) {
    return Accepted(code, protocol::CheckSelection(selection));
}

bool ConfirmLimits(OperationCode code, std::uint16_t word, const std::wstring& other) {
    const bool lower = code == OperationCode::WriteLowerLimit;
    if (!lower && code != OperationCode::WriteUpperLimit) return true;
    const OperationCode otherCode =
        lower ? OperationCode::WriteUpperLimit : OperationCode::WriteLowerLimit;
    const CheckedValue otherValue = protocol::CheckTypedValue(otherCode, other, 0);
    if (!otherValue.ok()) return true;
    const bool inverted = lower ? protocol::LimitsInverted(word, otherValue.word)
                                : protocol::LimitsInverted(otherValue.word, word);
    return !inverted || TimedBox(code, MainText(kLimitsInvertedText)) == IDOK;
}
