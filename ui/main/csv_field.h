#pragma once

#include <QString>

// One CSV field, quoted, with its quotes doubled.
inline QString CsvQuoted(const QString& text) {
    return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

// One CSV field: quoted when it holds a comma, a semicolon (the separator
// of spreadsheets in many locales), a quote or a line break; as it is
// otherwise.
inline QString CsvField(const QString& text) {
    for (QChar c : text)
        if (c == u',' || c == u';' || c == u'"' || c == u'\n' || c == u'\r') return CsvQuoted(text);
    return text;
}
