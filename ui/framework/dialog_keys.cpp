#include "ui/framework/dialog.h"

#include <QKeyEvent>
#include <QPushButton>

void CDialog::keyPressEvent(QKeyEvent* e) {
    if (e->modifiers() & ~(Qt::KeypadModifier)) {
        QDialog::keyPressEvent(e);
        return;
    }
    switch (e->key()) {
        case Qt::Key_Escape:
            SendMessage(WM_COMMAND, IDCANCEL, 0);
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            // Enter presses the focused push button, else the default one, else
            // it is IDOK, as in a Windows dialog.
            auto* focused = qobject_cast<QPushButton*>(focusWidget());
            if (focused && focused->isEnabled()) {
                focused->click();
                return;
            }
            for (int id : m_order) {
                auto* b = ItemAs<QPushButton>(id);
                if (b && b->isDefault() && b->isVisible() && b->isEnabled()) {
                    b->click();
                    return;
                }
            }
            SendMessage(WM_COMMAND, IDOK, 0);
            return;
        }
        default:
            QDialog::keyPressEvent(e);
    }
}
