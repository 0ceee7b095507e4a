#pragma once

// Saves what a dialog looks like into <build>/screenshots/<name>.png so a
// person can look at every dialog the tests showed.

#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QString>
#include <QWidget>

inline void SaveSnapshot(QWidget* w, const QString& name) {
    // A name may carry a sub-folder ("issue12/port_lost_en").
    const QString file =
        QStringLiteral(CORVEXA_BINARY_DIR "/screenshots/") + name + QStringLiteral(".png");
    QDir().mkpath(QFileInfo(file).absolutePath());
    w->grab().save(file);
}
