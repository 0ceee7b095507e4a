#pragma once

// Password prompt guarding the factory version.

#include <string>

#include "ui/framework/dialog.h"

class CDlgPwdInput : public CDialog {
public:
    static constexpr int kTemplate = 130;
    static constexpr int kPasswordEdit = 1045;

    explicit CDlgPwdInput(QWidget* parent = nullptr);

    // The text typed into the password box, read when OK is pressed.
    std::wstring m_strPassword;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
};
