#include "app/VersionCompare.h"

#include <QStringList>

int CompareVersions(const QString& a, const QString& b) {
    const QStringList left = a.split(QLatin1Char('.'));
    const QStringList right = b.split(QLatin1Char('.'));
    const qsizetype count = qMax(left.size(), right.size());
    for (qsizetype i = 0; i < count; ++i) {
        const int x = left.value(i).toInt();
        const int y = right.value(i).toInt();
        if (x != y)
            return x - y;
    }
    return 0;
}
