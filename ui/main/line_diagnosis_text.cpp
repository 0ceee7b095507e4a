#include "ui/main/line_diagnosis_text.h"

#include <QStringList>

#include "protocol/trace_file.h"
#include "ui/main/main_text.h"
#include "ui/main/main_text_ids.h"

using namespace maintext;

QString LineDiagnosisText(const protocol::LineDiagnosis& diagnosis, const QString& port) {
    QStringList lines;
    lines << MainText(kNoAnswerAtText).arg(port).arg(diagnosis.baud);
    switch (diagnosis.symptom) {
        case protocol::LineSymptom::Silent:
            lines << MainText(kHeardNothingText);
            break;
        case protocol::LineSymptom::OwnEcho:
            lines << MainText(kHeardOwnEchoText);
            break;
        case protocol::LineSymptom::NoReply:
            lines << MainText(kHeardNoReplyText)
                         .arg(QString::fromStdString(protocol::HexText(diagnosis.firstBytes)));
            break;
    }
    if (diagnosis.answeredAt) {
        lines << MainText(kAnsweredAtText).arg(*diagnosis.answeredAt);
    } else if (!diagnosis.probed.empty()) {
        QStringList rates;
        for (int rate : diagnosis.probed) rates << QString::number(rate);
        lines << MainText(kNotAnsweredAtText).arg(rates.join(QStringLiteral(", ")));
    }
    return lines.join(u'\n');
}
