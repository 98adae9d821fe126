#include "data/RecordWriter.h"

#include "data/EngineProfile.h"
#include "data/SqlShape.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

namespace {

const QString kCountMismatch = QStringLiteral("字段和值不对应，不能添加。\n");
const QString kRowDeleted = QStringLiteral("该记录已经被删除，不能修改保存。\n");

} // namespace

bool RecordWriter::CheckCounts(const QStringList& fields, int valueCount) {
    if (fields.size() == valueCount)
        return true;
    session_.resultCode_ = -1;
    session_.message_ = kCountMismatch;
    session_.detail_ = QStringLiteral("字段数 %1，值数 %2\n").arg(fields.size()).arg(valueCount);
    return false;
}

QList<QVariant> RecordWriter::TypedValues(const QString& table, const QStringList& fields,
                                          const QStringList& values) {
    // Empty texts become NULL in columns that are not texts, where the engine would refuse them.
    auto cached = columnTypes_.find(table);
    if (cached == columnTypes_.end())
        cached = columnTypes_.insert(
            table, QSqlDatabase::database(session_.connectionName_, false).record(table));
    const QSqlRecord& columns = *cached;
    QList<QVariant> typed;
    typed.reserve(values.size());
    for (int i = 0; i < values.size(); ++i) {
        const int index = columns.indexOf(fields[i]);
        int typeId = QMetaType::QString;
        if (index >= 0)
            typeId = columns.field(index).metaType().id();
        else
            for (int c = 0; c < columns.count(); ++c)
                if (columns.fieldName(c).compare(fields[i], Qt::CaseInsensitive) == 0)
                    typeId = columns.field(c).metaType().id();
        const bool textColumn = typeId == QMetaType::QString || typeId == QMetaType::UnknownType;
        if (values[i].isEmpty() && !textColumn)
            typed.append(QVariant(QMetaType(typeId)));
        else if (values[i].isNull())
            typed.append(QStringLiteral("")); // a null text would be bound as NULL
        else
            typed.append(values[i]);
    }
    return typed;
}

// Field names go into the statement text, so only plain identifiers are accepted.
bool RecordWriter::CheckFieldNames(const QString& sql, const QStringList& fields) {
    for (const QString& field : fields) {
        if (!IsPlainIdentifier(field))
            return session_.DataFailure(sql + QStringLiteral("\n字段名无效：") + field +
                                        QLatin1Char('\n'));
    }
    return true;
}

// The base table a row is written to, and field names that may go into the statement.
bool RecordWriter::WritableShape(const QString& sql, const QStringList& fields, SelectShape& shape,
                                 QString& normalized) {
    if (!ParseSelectShape(sql, shape, normalized))
        return session_.DataFailure(sql + QStringLiteral("\n无法确定要写入记录的表\n"));
    return CheckFieldNames(sql, fields);
}

RecordWriter::Outcome RecordWriter::InsertRow(const QString& sql, const QStringList& fields,
                                              const QList<QVariant>& values) {
    // The row does not exist yet: add it to the statement's base table.
    SelectShape shape;
    QString normalized;
    if (!WritableShape(sql, fields, shape, normalized))
        return Outcome::Failed;
    QStringList marks;
    for (int i = 0; i < fields.size(); ++i)
        marks.append(QStringLiteral("?"));
    const QString insert =
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(shape.baseTable, fields.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    QSqlQuery query(QSqlDatabase::database(session_.connectionName_, false));
    // PostgreSQL locks the table while preparing: a held lock shows here first.
    if (!session_.Prepare(query, insert))
        return session_.FailedWrite(query.lastError(), sql);
    for (const QVariant& v : values)
        query.addBindValue(v);
    if (!session_.ExecPrepared(query))
        return session_.FailedWrite(query.lastError(), sql);
    return Outcome::Ok;
}

RecordWriter::Outcome RecordWriter::UpdateFirstRow(const QString& sql, const QStringList& fields,
                                                   const QList<QVariant>& values) {
    SelectShape shape;
    QString normalized;
    if (!WritableShape(sql, fields, shape, normalized))
        return Outcome::Failed;
    QStringList assignments;
    for (const QString& field : fields)
        assignments.append(field + QStringLiteral("=?"));
    // The statement's own filter and order find the row; it is updated by its physical id or,
    // on an engine without one, through the finding statement itself.
    const EngineProfile& profile = *session_.profile_;
    QSqlDatabase db = QSqlDatabase::database(session_.connectionName_, false);
    const bool byRowId = profile.UpdatesByRowId();
    const QString first = profile.FirstRowQuery(normalized, shape);
    QSqlQuery probe(db);
    if (!session_.RunQuery(probe, first, true))
        return session_.FailedWrite(probe.lastError(), sql);
    if (!probe.next())
        return Outcome::NotFound;
    const QVariant rowId = byRowId ? probe.value(0) : QVariant();
    probe.finish();

    QSqlQuery update(db);
    if (!session_.Prepare(update,
                          profile.FirstRowUpdate(assignments.join(QLatin1Char(',')), first, shape)))
        return session_.FailedWrite(update.lastError(), sql);
    for (const QVariant& v : values)
        update.addBindValue(v);
    if (byRowId)
        update.addBindValue(profile.RowIdParameter(rowId));
    if (!session_.ExecPrepared(update))
        return session_.FailedWrite(update.lastError(), sql);
    // Another client may have changed the row between finding and updating it, which gives it
    // a new physical id: look it up again, as after a lock.
    return byRowId && update.numRowsAffected() == 0 ? Outcome::LockError : Outcome::Ok;
}

bool RecordWriter::UpdateFirstRowWithLockWait(const QString& sql, const QStringList& fields,
                                              const QList<QVariant>& values, bool& found) {
    found = false;
    return session_.LockWait([&]() -> Outcome {
        if (!session_.connected_)
            return session_.ExecuteOne(sql);
        DbSession::StatementScope scope(session_);
        const Outcome outcome = UpdateFirstRow(sql, fields, values);
        found = outcome == Outcome::Ok;
        if (outcome == Outcome::Failed || outcome == Outcome::LockError)
            scope.Fail();
        return outcome;
    });
}

int RecordWriter::AddRecord(const QString& sql, const QStringList& fields,
                            const QStringList& values) {
    session_.ClearErrors();
    if (!CheckCounts(fields, int(values.size())))
        return -1;
    int result = -1;
    const bool ok = session_.LockWait([&]() -> Outcome {
        if (!session_.connected_)
            return session_.ExecuteOne(sql);
        // The query goes after its savepoint is settled: freeing its statement inside an aborted
        // PostgreSQL transaction fails and leaks it.
        QSqlQuery probe(QSqlDatabase::database(session_.connectionName_, false));
        DbSession::StatementScope scope(session_);
        if (!session_.RunQuery(probe, sql, true)) {
            scope.Fail();
            return session_.FailedWrite(probe.lastError(), sql);
        }
        if (probe.next()) {
            result = 0;
            return Outcome::Ok;
        }
        probe.finish();
        SelectShape shape;
        QString normalized;
        const QString table =
            ParseSelectShape(sql, shape, normalized) ? shape.baseTable : QString();
        const Outcome outcome = InsertRow(sql, fields, TypedValues(table, fields, values));
        if (outcome != Outcome::Ok)
            scope.Fail();
        else
            result = 1;
        return outcome;
    });
    if (ok)
        session_.resultCode_ = 1;
    return ok ? result : -1;
}

bool RecordWriter::UpdateRecord(const QString& sql, const QStringList& fields,
                                const QStringList& values) {
    session_.ClearErrors();
    if (!CheckCounts(fields, int(values.size())))
        return false;
    bool found = false;
    SelectShape shape;
    QString normalized;
    const QString table = ParseSelectShape(sql, shape, normalized) ? shape.baseTable : QString();
    const bool ok =
        UpdateFirstRowWithLockWait(sql, fields, TypedValues(table, fields, values), found);
    if (ok && !found) {
        session_.resultCode_ = 0;
        session_.message_ = kRowDeleted;
        return false;
    }
    if (ok)
        session_.resultCode_ = 1;
    return ok;
}

int RecordWriter::AddRecordGetId(QString& id, const QString& sql, const QStringList& fields,
                                 const QStringList& values) {
    if (fields.size() != values.size()) {
        CheckCounts(fields, int(values.size()));
        return -2;
    }
    if (AddRecord(sql, fields, values) != 1)
        return -1;
    QString value;
    if (!session_.QueryValue(session_.profile_->IdentityQuery(), value))
        return -1;
    id = value;
    return 1;
}

bool RecordWriter::WriteBinary(const QString& sql, const QStringList& fields,
                               const QList<QByteArray>& data) {
    session_.ClearErrors();
    if (!CheckCounts(fields, int(data.size())))
        return false;
    QList<QVariant> values;
    for (const QByteArray& bytes : data)
        values.append(QVariant(bytes));
    bool found = false;
    const bool ok = UpdateFirstRowWithLockWait(sql, fields, values, found);
    if (ok && !found) {
        session_.resultCode_ = 0;
        session_.detail_ =
            QStringLiteral("WriteBinary\n") + sql + QStringLiteral("\n没有找到记录\n");
        return false;
    }
    return ok;
}
