#pragma once

#include "ui/framework/dialog.h"

// About box: icon, product line and OK; nothing of its own to handle.
class CAboutDlg : public CDialog {
public:
    static constexpr int kTemplate = 100;
    explicit CAboutDlg(QWidget* parent = nullptr) : CDialog(kTemplate, parent) {}
};
