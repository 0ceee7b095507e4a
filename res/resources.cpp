#include "res/resources.h"

#include <QFile>

// The resource object lives in a static library, so nothing references it
// and the linker would drop it; registering it by hand on first use keeps it.
static void RegisterOnce() {
    static const bool done = [] {
        Q_INIT_RESOURCE(corvexa_res);
        return true;
    }();
    (void)done;
}

namespace corvexa::res {

std::optional<QByteArray> FindResource(const QString& type, int number) {
    RegisterOnce();
    if (type.isEmpty() || type.contains(QLatin1Char('/')) || number < 0) {
        return std::nullopt;
    }
    QFile file(QStringLiteral(":/corvexa/%1/%2").arg(type.toUpper()).arg(number));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.readAll();
}

}  // namespace corvexa::res
