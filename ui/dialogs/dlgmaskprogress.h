#pragma once

// Busy overlay: a small top-most window hosting the picture control with
// image 137. The main window creates it hidden and keeps it so.

#include "ui/framework/dialog.h"

class CPictureEx;

class CDlgMaskProgress : public CDialog {
public:
    static constexpr int kTemplate = 138;
    static constexpr int kPicture = 1058;
    static constexpr int kImage = 137;

    explicit CDlgMaskProgress(QWidget* parent = nullptr);

    // Null until the dialog is created.
    CPictureEx* Picture() const { return m_picture; }

protected:
    bool OnInitDialog() override;

private:
    CPictureEx* m_picture = nullptr;  // owned as a child widget
};
