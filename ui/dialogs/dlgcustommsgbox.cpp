#include "ui/dialogs/dlgcustommsgbox.h"

#include <climits>

#include "ui/dialogs/restext.h"

CDlgCustomMsgbox::CDlgCustomMsgbox(QWidget* parent) : CDialog(kTemplate, parent) {}

bool CDlgCustomMsgbox::OnInitDialog() {
    CDialog::OnInitDialog();
    ShowCountdown();
    SetDlgItemText(1057, m_strMsg);
    SetDlgItemText(IDOK, ResText(L"Main", 135));
    SetDlgItemText(IDCANCEL, ResText(L"Main", 136));
    SetTimer(kCountdownTimer, 1000);
    return true;
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
