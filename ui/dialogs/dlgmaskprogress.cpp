#include "ui/dialogs/dlgmaskprogress.h"

#include <QGuiApplication>
#include <QScreen>

#include "ui/dialogs/pictureex.h"

CDlgMaskProgress::CDlgMaskProgress(QWidget* parent) : CDialog(kTemplate, parent) {}

bool CDlgMaskProgress::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_picture == nullptr) {
        m_picture = new CPictureEx;
        SubclassDlgItem(kPicture, m_picture);
    }
    // 350 x 222 pixels, centred on the primary screen (integer halves).
    constexpr int kWidth = 350, kHeight = 222;
    QRect screen(0, 0, kWidth, kHeight);
    if (QScreen* primary = QGuiApplication::primaryScreen()) screen = primary->geometry();
    MoveWindow(screen.x() + (screen.width() - kWidth) / 2,
               screen.y() + (screen.height() - kHeight) / 2, kWidth, kHeight);
    SetTopMost(true);
    m_picture->setGeometry(0, 22, width(), 200);
    // Loading resizes the control to the picture's own size, here 32 x 32;
    // if it fails the overlay stays and the control shows nothing.
    if (m_picture->LoadFromResource(kImage, QStringLiteral("Gif"))) {
        m_picture->StartDisplay();
    }
    return true;
}
