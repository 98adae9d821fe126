#include "data/EngineProfile.h"

#include "data/SqlShape.h"

#include <QSqlError>

const EngineProfile& EngineProfile::Of(DbKindCode kind) {
    switch (kind) {
    case DbKindCode::LocalFile:
        return SqliteProfile();
    case DbKindCode::Other:
        return PostgresProfile();
    case DbKindCode::SqlServer:
        break;
    }
    return SqlServerProfile();
}

const EngineProfile* EngineProfile::OfKindText(const QString& kindText) {
    if (kindText == QLatin1String("1"))
        return &SqlServerProfile();
    if (kindText == QLatin1String("2"))
        return &SqliteProfile();
    if (kindText == QLatin1String("3"))
        return &PostgresProfile();
    return nullptr;
}

bool EngineProfile::FileMissing(const DriverConnection&) const {
    return false;
}

void EngineProfile::SetBusyTimeout(const QString&, int) const {}

EngineProfile::BrokenReference EngineProfile::ReadBrokenReference(const QSqlError&, const QString&,
                                                                  const QString&) const {
    return {};
}

QString EngineProfile::BrokenReferenceMessage(const QSqlError& error, const QString& connectionName,
                                              const QString& statement) const {
    const BrokenReference reference = ReadBrokenReference(error, connectionName, statement);
    if (!reference.broken)
        return {};
    const QString separator = QStringLiteral("、");
    if (!reference.referencing.isEmpty())
        return QStringLiteral("该记录仍被其他数据引用（%1），不能删除或修改。\n")
            .arg(reference.referencing.join(separator));
    if (!reference.referenced.isEmpty())
        return QStringLiteral("引用的数据不存在（%1），不能保存。\n")
            .arg(reference.referenced.join(separator));
    return QStringLiteral("该记录仍被其他数据引用，或引用的数据不存在，不能保存。\n");
}

EngineProfile::ErrorClass EngineProfile::Classify(const QSqlError& error, bool withLock) const {
    const QString description = error.databaseText() + QLatin1Char(' ') + error.driverText();
    bool lock = description.contains(QLatin1String("locked")) ||
                description.contains(QStringLiteral("死锁")) ||
                description.contains(QStringLiteral("冲突")) ||
                description.contains(QLatin1String("deadlock"), Qt::CaseInsensitive);
    bool network = description.contains(QLatin1String("network")) ||
                   description.contains(QStringLiteral("关闭")) ||
                   description.contains(QLatin1String("Disk")) ||
                   (ConnectionErrorsMeanNetwork() && error.type() == QSqlError::ConnectionError);
    if (const ErrorClass native = NativeClass(error); native != ErrorClass::Data)
        return native;
    ClassifyNative(error, description, lock, network);
    if (withLock && lock)
        return ErrorClass::Lock;
    if (network)
        return ErrorClass::Network;
    return ErrorClass::Data;
}

QString EngineProfile::FirstRowQuery(const QString& select, const SelectShape& shape) const {
    // The statement's own filter and order pick the row; only its id is read.
    QString locate = select;
    locate.replace(shape.listStart, shape.listEnd - shape.listStart,
                   QLatin1Char(' ') + shape.rowPrefix + QLatin1Char('.') + RowIdColumn() +
                       QStringLiteral(" AS zv_rowid "));
    return locate;
}

QString EngineProfile::FirstRowUpdate(const QString& assignments, const QString&,
                                      const SelectShape& shape) const {
    return QStringLiteral("UPDATE %1 SET %2 WHERE %3")
        .arg(shape.baseTable, assignments, RowIdCondition());
}
