#pragma once

#include <QString>

// The output values are raw 16-bit words. The up-down controls run from 0 to
// -1 (16-bit), so the up arrow reports a step of -1 and the down arrow +1;
// the value is taken from the edit's text (a non-number counts as 0),
// moved one per step against the reported delta and kept within 0..65535.
QString SpinStep(const QString& editText, int delta);

// The edit text as the C library's integer conversion reads it: leading
// blanks, optional sign, digits up to the first other character; 0 when
// nothing parses. Saturates instead of overflowing.
long long LeadingInteger(const QString& text);
