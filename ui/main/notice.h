#pragma once

#include <QString>

// The timed message box (closes itself after 5 s) with a title and a text:
// how the window tells the technician what happened on the line.
int ShowNotice(const QString& title, const QString& message);
