#pragma once

// Texts are std::wstring outside ui/ and QString inside; these are the
// only conversions between the two.

#include <QString>
#include <string>

inline QString ToQString(const std::wstring& text) {
    return QString::fromStdWString(text);
}

inline std::wstring ToWString(const QString& text) {
    return text.toStdWString();
}
