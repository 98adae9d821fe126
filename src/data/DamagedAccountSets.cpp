#include "data/DamagedAccountSets.h"

#include "data/AccountSetBackup.h"

#include <QDate>
#include <QFileInfo>
#include <QMutex>
#include <QSet>

namespace {

QMutex g_mutex;
QSet<QString>& Damaged() {
    static QSet<QString> files;
    return files;
}

// One file reached by different spellings is one entry.
QString Key(const QString& path) {
    const QFileInfo file(path);
    const QString canonical = file.canonicalFilePath();
    return canonical.isEmpty() ? file.absoluteFilePath() : canonical;
}

} // namespace

void MarkAccountSetDamaged(const QString& path) {
    if (path.isEmpty())
        return;
    const QString key = Key(path);
    const QMutexLocker lock(&g_mutex);
    Damaged().insert(key);
}

bool AccountSetDamaged(const QString& path) {
    if (path.isEmpty())
        return false;
    const QString key = Key(path);
    const QMutexLocker lock(&g_mutex);
    return Damaged().contains(key);
}

QString DamagedAccountSetMessage(const QString& path) {
    return QStringLiteral("账套文件已损坏：%1，不能再写入。请用备份 %2 恢复后再使用。\n")
        .arg(path, DailyBackupPath(path, QDate::currentDate()));
}
