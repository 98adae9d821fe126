// The local file: SQLite through QSQLITE.
#include "data/EngineProfile.h"

#include "data/DbSession.h"
#include "data/SqlTokenizer.h"
#include "data/SqlTranslator.h"
#include "data/SqliteFunctions.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

namespace {

sqlite3* NativeHandle(const QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(handle.constData());
    return nullptr;
}

// What a written statement changes: its verb and its table (DELETE FROM t, INSERT [OR x] INTO t,
// UPDATE [OR x] t); empty when it is none of these.
struct WrittenTable {
    QString verb;
    QString table;
};

WrittenTable ReadWrittenTable(const QString& sql) {
    SqlTokenizer reader(sql);
    SqlToken token;
    QStringList words;
    while (words.size() < 5 && reader.Next(token)) {
        if (token.kind == SqlTokenKind::Space || token.kind == SqlTokenKind::Comment)
            continue;
        const QStringView text = reader.Text(token);
        if (token.kind == SqlTokenKind::Word)
            words.append(text.toString());
        else if (token.kind == SqlTokenKind::QuotedName || token.kind == SqlTokenKind::BracketName)
            words.append(text.sliced(1, text.size() - 2).toString());
        else
            break;
    }
    const auto word = [&](int i) { return words.value(i).toUpper(); };
    const QString verb = word(0);
    int at = -1;
    if (verb == QLatin1String("DELETE") && word(1) == QLatin1String("FROM"))
        at = 2;
    else if (verb == QLatin1String("UPDATE"))
        at = word(1) == QLatin1String("OR") ? 3 : 1;
    else if (verb == QLatin1String("INSERT") || verb == QLatin1String("REPLACE"))
        for (int i = 1; i + 1 < words.size() && at < 0; ++i)
            if (word(i) == QLatin1String("INTO"))
                at = i + 1;
    if (at <= 0 || at >= words.size())
        return {};
    return {verb, words[at]};
}

QStringList Column(QSqlQuery& query) {
    QStringList values;
    while (query.next())
        values.append(query.value(0).toString());
    return values;
}

// The tables whose foreign keys name `table`.
QStringList ReferencingTables(const QSqlDatabase& db, const QString& table) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "SELECT DISTINCT m.name FROM sqlite_master m JOIN pragma_foreign_key_list(m.name) f "
        "WHERE m.type='table' AND f.\"table\"=? COLLATE NOCASE ORDER BY m.name"));
    query.addBindValue(table);
    return query.exec() ? Column(query) : QStringList();
}

// The tables the foreign keys of `table` name.
QStringList ReferencedTables(const QSqlDatabase& db, const QString& table) {
    QSqlQuery query(db);
    query.prepare(
        QStringLiteral("SELECT DISTINCT \"table\" FROM pragma_foreign_key_list(?) ORDER BY 1"));
    query.addBindValue(table);
    return query.exec() ? Column(query) : QStringList();
}

class Sqlite final : public EngineProfile {
public:
    DbKindCode Kind() const override { return DbKindCode::LocalFile; }
    bool IsLocalFile() const override { return true; }

    bool FileMissing(const DriverConnection& target) const override {
        return target.databaseName != QLatin1String(":memory:") &&
               !QFileInfo(target.databaseName).isFile();
    }
    QString AccountSetFile(const DriverConnection& target) const override {
        return target.databaseName == QLatin1String(":memory:") ? QString() : target.databaseName;
    }

    void Configure(QSqlDatabase& db, const DriverConnection&, int) const override {
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
    }

    bool SetUp(QSqlDatabase& db, QSqlError& error) const override {
        if (sqlite3* native = NativeHandle(db)) {
            RegisterAccessFunctions(native);
            // The probe below is a read: it waits out other clients' commits as every read
            // does instead of failing the open.
            sqlite3_busy_timeout(native, DbSession::ReadWaitMs());
            // A broken reference then reads as such rather than as any failed constraint.
            sqlite3_extended_result_codes(native, 1);
        }
        // SQLite keeps foreign keys only where each connection asks for it, and takes the
        // request only outside a transaction: here, before the session begins any.
        QSqlQuery probe(db);
        if (!probe.exec(QStringLiteral("PRAGMA foreign_keys=ON"))) {
            error = probe.lastError();
            return false;
        }
        // A file that is not an account set fails here rather than at the first query.
        if (probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
            return true;
        error = probe.lastError();
        return false;
    }

    QString Translate(const QString& sql, QString& unsupported) const override {
        return TranslateAccessSql(sql, SqlDialect::Sqlite, &unsupported);
    }
    QString IdentityQuery() const override {
        return QStringLiteral("SELECT last_insert_rowid() AS z_uid");
    }
    // SQLite counts a whole table from its b-tree without reading the rows only for count(*);
    // the two forms count the same.
    QString PageCountArgument() const override { return QStringLiteral("*"); }

    void SetBusyTimeout(const QString& connectionName, int ms) const override {
        if (sqlite3* native = NativeHandle(QSqlDatabase::database(connectionName, false)))
            sqlite3_busy_timeout(native, ms);
    }
    // An action's transaction takes the file's write lock when it begins. Begun deferred, two
    // clients that had both read could each wait for the other to let go (one to write, one to
    // commit) until both time out.
    QString LockingBegin() const override { return QStringLiteral("BEGIN IMMEDIATE"); }

    bool ReportsDamage(const QSqlError& error) const override {
        const int primary = error.nativeErrorCode().toInt() & 0xFF;
        return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
    }

    // SQLite names neither the constraint nor the tables: the statement's table and the
    // schema's foreign keys tell which side is which.
    BrokenReference ReadBrokenReference(const QSqlError& error, const QString& connectionName,
                                        const QString& statement) const override {
        if (error.nativeErrorCode().toInt() != SQLITE_CONSTRAINT_FOREIGNKEY)
            return {};
        BrokenReference reference;
        reference.broken = true;
        const WrittenTable written = ReadWrittenTable(statement);
        if (written.table.isEmpty())
            return reference;
        const QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        const QStringList referencing = ReferencingTables(db, written.table);
        const QStringList referenced = ReferencedTables(db, written.table);
        // A DELETE can only leave rows behind that name its own; an INSERT can only name a row
        // that is not there; an UPDATE either, so it is told only when its table has one side.
        if (written.verb == QLatin1String("DELETE") ||
            (written.verb == QLatin1String("UPDATE") && referenced.isEmpty()))
            reference.referencing = referencing;
        else if (written.verb != QLatin1String("UPDATE") || referencing.isEmpty())
            reference.referenced = referenced;
        return reference;
    }

protected:
    QString RowIdColumn() const override { return QStringLiteral("rowid"); }

    ErrorClass NativeClass(const QSqlError& error) const override {
        return (error.nativeErrorCode().toInt() & 0xFF) == SQLITE_FULL ? ErrorClass::DiskFull
                                                                       : ErrorClass::Data;
    }
    QString RowIdCondition() const override { return QStringLiteral("rowid=?"); }

    void ClassifyNative(const QSqlError& error, const QString&, bool& lock,
                        bool& network) const override {
        const int primary = error.nativeErrorCode().toInt() & 0xFF;
        lock = lock || primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
        network = network || primary == SQLITE_IOERR || primary == SQLITE_CORRUPT ||
                  primary == SQLITE_FULL || primary == SQLITE_CANTOPEN ||
                  primary == SQLITE_NOTADB || primary == SQLITE_READONLY;
    }
    // The SQLite driver files every failed step under the connection type.
    bool ConnectionErrorsMeanNetwork() const override { return false; }
};

} // namespace

const EngineProfile& SqliteProfile() {
    static const Sqlite profile;
    return profile;
}
