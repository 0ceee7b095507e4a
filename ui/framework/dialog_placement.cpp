#include "ui/framework/dialog.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

void CDialog::CenterWindow() {
    QRect area;
    QWidget* owner = parentWidget();
    if (owner && owner->isVisible()) {
        area = owner->window()->frameGeometry();
    } else if (QScreen* screen = QGuiApplication::primaryScreen()) {
        area = screen->availableGeometry();
    } else {
        return;
    }
    const QSize outer = frameGeometry().size();
    move(area.x() + (area.width() - outer.width()) / 2,
         area.y() + (area.height() - outer.height()) / 2);
}

void CDialog::MoveWindow(int x, int y, int width, int height) {
    const QSize frameExtra = frameGeometry().size() - size();
    move(x, y);
    setFixedSize(std::max(0, width - frameExtra.width()),
                 std::max(0, height - frameExtra.height()));
}

void CDialog::SetWindowPosition(int x, int y) {
    move(x, y);
}

void CDialog::SetTopMost(bool topMost) {
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, topMost);
    if (visible) show();  // changing window flags hides a shown window
}
