#pragma once

// Start dialog: user version or, behind the password, factory version.
// Modeless, owned by the hidden main window; closing it ends the program.

#include "ui/framework/dialog.h"

class CDlgLogin : public CDialog {
public:
    static constexpr int kTemplate = 129;
    static constexpr int kUserButton = 1042;
    static constexpr int kFactoryButton = 1043;

    explicit CDlgLogin(QWidget* parent = nullptr);

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    void RefreshTexts();
    void OnUserVersion();
    void OnFactoryVersion();
};
