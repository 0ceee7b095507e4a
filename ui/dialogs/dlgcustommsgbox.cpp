#include "ui/dialogs/dlgcustommsgbox.h"

#include <QLabel>
#include <algorithm>
#include <climits>

#include "ui/dialogs/restext.h"

CDlgCustomMsgbox::CDlgCustomMsgbox(QWidget* parent) : CDialog(kTemplate, parent) {}

bool CDlgCustomMsgbox::OnInitDialog() {
    CDialog::OnInitDialog();
    ShowCountdown();
    SetDlgItemText(kMessage, m_strMsg);
    SetDlgItemText(IDOK, ResText(L"Main", 135));
    SetDlgItemText(IDCANCEL, ResText(L"Main", 136));
    if (QWidget* label = Item(kMessage)) FitMessage(label->width());
    SetTimer(kCountdownTimer, 1000);
    return true;
}

void CDlgCustomMsgbox::FitMessage(int width) {
    auto* label = ItemAs<QLabel>(kMessage);
    if (label == nullptr) return;
    if (m_templateWidth == 0) {
        m_templateWidth = label->width();
        m_templateHeight = label->height();
    }
    label->setWordWrap(true);
    width = std::max(width, m_templateWidth);
    const int height = std::max(m_templateHeight, label->heightForWidth(width));
    const int wider = width - label->width();
    const int taller = height - label->height();
    label->resize(width, height);
    for (int id : {IDOK, IDCANCEL})
        if (QWidget* button = Item(id)) button->move(button->x() + wider / 2, button->y() + taller);
    setFixedSize(this->width() + wider, this->height() + taller);
}

void CDlgCustomMsgbox::ShowCountdown() {
    // "%s(%dS)": the title directly followed by the count, e.g. "Enter Password(5S)".
    SetWindowText(ToQString(m_strTitle) + QStringLiteral("(%1S)").arg(m_nSeconds));
}

void CDlgCustomMsgbox::OnTimer(int id) {
    if (id != kCountdownTimer) {
        CDialog::OnTimer(id);
        return;
    }
    // The lowest count cannot be decreased without overflow; it is below 1
    // already, so it ends the box like any other count that runs out.
    if (m_nSeconds != INT32_MIN) --m_nSeconds;
    if (m_nSeconds < 1) {
        KillTimer(kCountdownTimer);
        EndDialog(IDCANCEL);
        return;
    }
    ShowCountdown();
}

void CDlgCustomMsgbox::OnOK() {
    KillTimer(kCountdownTimer);
    CDialog::OnOK();
}

void CDlgCustomMsgbox::OnCancel() {
    KillTimer(kCountdownTimer);
    CDialog::OnCancel();
}
