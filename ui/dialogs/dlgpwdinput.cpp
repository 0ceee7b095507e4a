#include "ui/dialogs/dlgpwdinput.h"

#include "ui/dialogs/dlgcustommsgbox.h"
#include "ui/dialogs/restext.h"

namespace {
// Fixed factory password; compared whole, without trimming.
constexpr wchar_t kFactoryPassword[] = L"5862";
}  // namespace

CDlgPwdInput::CDlgPwdInput(QWidget* parent) : CDialog(kTemplate, parent) {}

bool CDlgPwdInput::OnInitDialog() {
    CDialog::OnInitDialog();
    CenterWindow();
    GotoDlgCtrl(kPasswordEdit);
    SetWindowText(ResText(L"Main", 139));
    SetDlgItemText(IDOK, ResText(L"Main", 135));
    SetDlgItemText(IDCANCEL, ResText(L"Main", 136));
    SetDlgItemText(1067, ResText(L"Main", 137));
    return false;  // the focus stays in the password box
}

void CDlgPwdInput::OnOK() {
    m_strPassword = ToWString(GetDlgItemText(kPasswordEdit));
    if (m_strPassword == kFactoryPassword) {
        CDialog::OnOK();
        return;
    }
    CDlgCustomMsgbox box;
    box.m_strTitle = GetResString(L"Main", 139, L"");
    box.m_strMsg = GetResString(L"Main", 138, L"");
    box.DoModal();
}
