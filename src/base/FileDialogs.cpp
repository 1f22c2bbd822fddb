#include "base/FileDialogs.h"

namespace zendrel {

QString qtFileFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        QStringList patterns;
        if (i + 1 < parts.size()) {
            for (const QString& p : parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
                const QString pattern = p.trimmed();
                if (pattern.isEmpty()) {
                    continue;
                }
                patterns << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
            }
        }
        if (description.isEmpty() && patterns.isEmpty()) {
            continue;
        }
        if (patterns.isEmpty()) {
            patterns << QStringLiteral("*");
        }
        const QString shown = description.isEmpty() ? patterns.join(QLatin1Char(' ')) : description;
        filters << shown + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

} // namespace zendrel
