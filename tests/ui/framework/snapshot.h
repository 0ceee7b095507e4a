#pragma once

// Saves what a dialog looks like into <build>/screenshots/<name>.png so a
// person can look at every dialog the tests showed.

#include <QDir>
#include <QPixmap>
#include <QString>
#include <QWidget>

inline void SaveSnapshot(QWidget* w, const QString& name) {
  const QString dir = QStringLiteral(CORVEXA_BINARY_DIR "/screenshots");
  QDir().mkpath(dir);
  w->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}
