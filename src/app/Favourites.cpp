#include "app/Favourites.h"

#include <QStringList>

namespace {

// The entries of a stored list, without empty pieces left by stray commas or blanks, and
// without `uid` (every copy of it, so a list damaged by hand cannot keep a duplicate).
QStringList EntriesWithout(const QString& stored, const QString& uid) {
    QStringList entries;
    for (const QString& piece : stored.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString entry = piece.trimmed();
        if (!entry.isEmpty() && entry != uid)
            entries.append(entry);
    }
    return entries;
}

} // namespace

QString AddFavourite(const QString& stored, const QString& uid) {
    const QString added = uid.trimmed();
    // A single stored uid (one digit) is a favourite like any other and is kept.
    QStringList entries = EntriesWithout(stored, added);
    if (!added.isEmpty())
        entries.append(added);
    return entries.join(QLatin1Char(','));
}

QString RemoveFavourite(const QString& stored, const QString& uid) {
    return EntriesWithout(stored, uid.trimmed()).join(QLatin1Char(','));
}
