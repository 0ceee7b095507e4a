#include "ui/main/stability_mark.h"

#include "ui/main/calibration_text_ids.h"
#include "ui/main/main_text.h"

using protocol::Steadiness;

CStabilityMark::CStabilityMark(QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("stabilityMark"));
    setTextFormat(Qt::RichText);
    RefreshTexts();
}

int CStabilityMark::TextId(const protocol::StabilityVerdict& verdict) {
    switch (verdict.steadiness) {
        case Steadiness::Stable:
            return calibtext::kTxtStable;
        case Steadiness::TooFewSamples:
            return calibtext::kTxtWaiting;
        case Steadiness::Spread:
        case Steadiness::Drifting:
            break;
    }
    return calibtext::kTxtNotStable;
}

void CStabilityMark::SetVerdict(const protocol::StabilityVerdict& verdict) {
    m_verdict = verdict;
    RefreshTexts();
}

void CStabilityMark::RefreshTexts() {
    const char* colour = "#8a8a8a";
    if (m_verdict.steadiness == Steadiness::Stable)
        colour = "#1e8c2e";
    else if (m_verdict.steadiness != Steadiness::TooFewSamples)
        colour = "#d9480f";
    // The colour alone does not carry the meaning; the word does.
    setText(QStringLiteral("<span style=\"color:%1; font-size:large\">&#9679;</span> <b>%2</b>")
                .arg(QLatin1String(colour), MainText(TextId(m_verdict)).toHtmlEscaped()));
}
