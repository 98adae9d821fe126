// The local file: SQLite through QSQLITE.
#include "data/EngineProfile.h"

#include "data/DbSession.h"
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

class Sqlite final : public EngineProfile {
public:
    DbKindCode Kind() const override { return DbKindCode::LocalFile; }

    bool FileMissing(const DriverConnection& target) const override {
        return target.databaseName != QLatin1String(":memory:") &&
               !QFileInfo(target.databaseName).isFile();
    }

    void Configure(QSqlDatabase& db, const DriverConnection&, int) const override {
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
    }

    bool SetUp(QSqlDatabase& db, QSqlError& error) const override {
        if (sqlite3* native = NativeHandle(db)) {
            RegisterAccessFunctions(native);
            // The probe below is a read: it waits out other clients' commits as every read
            // does instead of failing the open.
            sqlite3_busy_timeout(native, CDbSession::ReadWaitMs());
        }
        // A file that is not an account set fails here rather than at the first query.
        QSqlQuery probe(db);
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
