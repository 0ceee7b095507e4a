#pragma once

// The program's numbered resources (dialog templates, icon, bitmaps, the
// busy image), embedded in the executable and found the way Windows finds
// them: by type name, compared without case, and number.

#include <QByteArray>
#include <QString>
#include <optional>

namespace corvexa::res {

// Bytes of resource (type, number), or nothing when there is no such one.
std::optional<QByteArray> FindResource(const QString& type, int number);

}  // namespace corvexa::res
