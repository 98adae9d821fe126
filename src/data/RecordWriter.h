#pragma once
// Rows written through a query, as updatable result sets did: the base table comes from the
// SELECT (or is the bare table name given), the first row it finds is the one updated, a row it
// does not find is added, and values are bound parameters. Writes wait on locks as the session's
// other writes do; results and messages are left in the session.
#include "data/DbSession.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QVariant>

struct SelectShape;

class RecordWriter {
public:
    explicit RecordWriter(DbSession& session) : session_(session) {}

    // The session's operations of the same names.
    int AddRecord(const QString& sql, const QStringList& fields, const QStringList& values);
    bool UpdateRecord(const QString& sql, const QStringList& fields, const QStringList& values);
    int AddRecordGetId(QString& id, const QString& sql, const QStringList& fields,
                       const QStringList& values);
    bool WriteBinary(const QString& sql, const QStringList& fields, const QList<QByteArray>& data);

    // Column types belong to a connection: they are read again after the next one opens.
    void ForgetColumnTypes() { columnTypes_.clear(); }

private:
    using Outcome = DbSession::Outcome;

    bool CheckCounts(const QStringList& fields, int valueCount);
    bool CheckFieldNames(const QString& sql, const QStringList& fields);
    bool WritableShape(const QString& sql, const QStringList& fields, SelectShape& shape,
                       QString& normalized);
    QList<QVariant> TypedValues(const QString& table, const QStringList& fields,
                                const QStringList& values);
    Outcome InsertRow(const QString& sql, const QStringList& fields, const QList<QVariant>& values);
    Outcome UpdateFirstRow(const QString& sql, const QStringList& fields,
                           const QList<QVariant>& values);
    bool UpdateFirstRowWithLockWait(const QString& sql, const QStringList& fields,
                                    const QList<QVariant>& values, bool& found);

    DbSession& session_;
    QHash<QString, QSqlRecord> columnTypes_; // of the tables written, per connection
};
