#pragma once

// Turns a dialog template into real Qt widgets. Every control's objectName
// is its numeric id, so tests and code find it by number.

#include <QFont>
#include <QRect>
#include <map>

#include "ui/framework/dlgtemplate.h"

class QWidget;

// Dialog-unit conversion of a font: x = dlu * avgCharWidth / 4,
// y = dlu * charHeight / 8, rounded to nearest as Windows' MulDiv does.
struct DialogUnits {
    int avgCharWidth = 6;
    int charHeight = 13;

    static DialogUnits ForFont(const QFont& font);
    int X(int dlu) const;
    int Y(int dlu) const;
    QRect ToPixels(const QRect& dluRect) const;
};

// The font a template asks for. "MS Shell Dlg" and its Windows relatives
// stand for the desktop's normal dialog font; other names are used as given.
QFont DialogFont(const DialogTemplate& dlg);

// Creates the template's controls as children of host, positioned in
// pixels, and returns them by id (the first one for a repeated id 65535).
std::map<int, QWidget*> BuildControls(const DialogTemplate& dlg, const DialogUnits& units,
                                      QWidget* host);
