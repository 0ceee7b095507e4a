#pragma once

// Drives modal dialogs from inside their own loops: the action runs once
// the next modal window is up, and gets that window.

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <functional>

template <class D>
void WhenModal(std::function<void(D*)> action) {
    QTimer::singleShot(0, qApp, [action] {
        QWidget* modal = QApplication::activeModalWidget();
        auto* dlg = dynamic_cast<D*>(modal);
        if (dlg == nullptr) {
            // End whatever is open, so a failing test cannot hang the suite.
            ADD_FAILURE() << "no modal dialog of the expected kind";
            if (auto* other = qobject_cast<QDialog*>(modal)) other->done(-2);
            return;
        }
        action(dlg);
    });
}
