// SQL Server through QODBC and FreeTDS. Its statements are the client's own dialect and go
// unchanged; it has no row id, so a row is updated through the SELECT that found it.
#include "data/EngineProfile.h"

#include "data/SqlShape.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

class SqlServer final : public EngineProfile {
public:
    DbKindCode Kind() const override { return DbKindCode::SqlServer; }

    void Configure(QSqlDatabase& db, const DriverConnection&,
                   int connectTimeoutSeconds) const override {
        db.setConnectOptions(
            QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(connectTimeoutSeconds));
    }

    bool SetUp(QSqlDatabase& db, QSqlError&) const override {
        QSqlQuery(db).exec(QStringLiteral("SET LOCK_TIMEOUT 100"));
        return true;
    }

    // As on PostgreSQL: writes give up on a lock after 100 ms and are retried; reads wait.
    void SetBusyTimeout(const QString& connectionName, int ms) const override {
        QSqlQuery(QSqlDatabase::database(connectionName, false))
            .exec(QStringLiteral("SET LOCK_TIMEOUT %1").arg(ms <= 0 ? 100 : ms));
    }

    bool TakesOwnDialect() const override { return true; }
    QString Translate(const QString& sql, QString& unsupported) const override {
        unsupported.clear();
        return sql;
    }
    // The server runs a batch of statements itself.
    bool SplitsScripts() const override { return false; }
    QString IdentityQuery() const override { return QStringLiteral("SELECT @@IDENTITY AS z_uid"); }
    bool PagesWithLimit() const override { return false; }

    QString FirstRowQuery(const QString& select, const SelectShape& shape) const override {
        QString first = select;
        if (!select.mid(0, shape.listStart).contains(QLatin1String("TOP"), Qt::CaseInsensitive))
            first.insert(shape.listStart, QStringLiteral(" TOP 1 "));
        return first;
    }
    // An updatable derived table of the first row.
    QString FirstRowUpdate(const QString& assignments, const QString& firstRowQuery,
                           const SelectShape&) const override {
        return QStringLiteral("UPDATE zv_row SET %1 FROM (%2) AS zv_row")
            .arg(assignments, firstRowQuery);
    }
    bool UpdatesByRowId() const override { return false; }

protected:
    void ClassifyNative(const QSqlError& error, const QString&, bool& lock,
                        bool& network) const override {
        const QString code = error.nativeErrorCode();
        lock = lock || code.contains(QLatin1String("1222")) || code.contains(QLatin1String("1205"));
        network = network || code.startsWith(QLatin1String("08"));
    }
};

} // namespace

const EngineProfile& SqlServerProfile() {
    static const SqlServer profile;
    return profile;
}
