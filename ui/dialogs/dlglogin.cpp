#include "ui/dialogs/dlglogin.h"

#include "ui/dialogs/appstate.h"
#include "ui/dialogs/dlgpwdinput.h"
#include "ui/dialogs/restext.h"
#include "ui/framework/postmessage.h"

CDlgLogin::CDlgLogin(QWidget* parent) : CDialog(kTemplate, parent) {
    MapCommand(kUserButton, &CDlgLogin::OnUserVersion);
    MapCommand(kFactoryButton, &CDlgLogin::OnFactoryVersion);
}

bool CDlgLogin::OnInitDialog() {
    CDialog::OnInitDialog();
    CheckDlgButton(1062, true);
    RefreshTexts();
    return true;
}

void CDlgLogin::RefreshTexts() {
    SetWindowText(ResText(L"Login", 102));
    SetDlgItemText(kUserButton, ResText(L"Login", 103));
    SetDlgItemText(kFactoryButton, ResText(L"Login", 104));
    // The language is chosen at start-up; the radio buttons offer nothing.
    ShowItem(1062, false);
    ShowItem(1063, false);
}

void CDlgLogin::OnUserVersion() {
    factoryMode = 0;
    PostMessage(parentWidget(), UM_SHOW_MAIN, 0, 1);
    hide();
}

void CDlgLogin::OnFactoryVersion() {
    CDlgPwdInput password;
    if (password.DoModal() != IDOK) {
        return;  // the user may choose again
    }
    factoryMode = 1;
    hide();
    PostMessage(MainWindow(), UM_SHOW_MAIN, 0, 1);
}

// Enter with no button focused would hide the dialog and leave the hidden
// main window running with nothing on screen; there is no OK to press here.
void CDlgLogin::OnOK() {}

// Close box, system menu, Alt+F4 and Escape all end the program: the main
// window is told to close, then the dialog goes away.
void CDlgLogin::OnCancel() {
    if (QObject* main = MainWindow()) {
        PostMessage(main, WM_CLOSE, 0, 0);
    }
    CDialog::OnCancel();
}
