#include "ui/main/main_text.h"

#include "lang/language.h"
#include "protocol/messages.h"
#include "ui/framework/textconv.h"
#include "ui/main/main_text_ids.h"

QString MainText(int id) {
    return ToQString(GetResString(L"Main", id, L""));
}

QString ExceptionText(std::uint8_t code) {
    const int id = code >= 1 && code <= 6 ? maintext::kFirstExceptionText + code - 1
                                          : maintext::kOtherExceptionText;
    const QString hex = QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("%1 (%2)").arg(MainText(id), hex);
}

QString FailureDetail(std::intptr_t result, const QString& name) {
    switch (protocol::ResultFailure(result)) {
        case protocol::ExchangeFailure::Refused:
            return MainText(maintext::kRefusedText)
                .arg(name, ExceptionText(protocol::ResultException(result)));
        case protocol::ExchangeFailure::LineBusy:
            return MainText(maintext::kLineBusyText);
        default:
            return QString();
    }
}
