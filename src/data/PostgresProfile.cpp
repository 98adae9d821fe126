// The other kind: PostgreSQL through QPSQL.
#include "data/EngineProfile.h"

#include "data/DbSession.h"
#include "data/SqlTranslator.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdlib>

namespace {

class Postgres final : public EngineProfile {
public:
    DbKindCode Kind() const override { return DbKindCode::Other; }

    void Configure(QSqlDatabase& db, const DriverConnection& target,
                   int connectTimeoutSeconds) const override {
        db.setHostName(target.host);
        if (target.port > 0)
            db.setPort(target.port);
        db.setUserName(target.user);
        db.setPassword(target.password);
        // connect_timeout bounds each address's connect and handshake, so a server that accepts
        // and never answers ends too; keepalives end a statement whose server went away (idle
        // 10 s, then 3 probes 5 s apart).
        db.setConnectOptions(QStringLiteral("connect_timeout=%1;keepalives=1;keepalives_idle=10;"
                                            "keepalives_interval=5;keepalives_count=3")
                                 .arg(connectTimeoutSeconds));
    }

    bool SetUp(QSqlDatabase& db, QSqlError& error) const override {
        QSqlQuery setup(db);
        // A statement waits for a lock as long as TIMEOUT allows, so the server's deadlock
        // detection can end a cycle of waits.
        if (!setup.exec(QStringLiteral("SET lock_timeout = %1")
                            .arg(LockTimeoutMs(DbSession::ReadWaitMs())))) {
            error = setup.lastError();
            return false;
        }
        // NOW() and the login stamps are the client's local time, as on the other kinds.
        const int offset = QDateTime::currentDateTime().offsetFromUtc() / 60;
        setup.exec(QStringLiteral("SET TIME ZONE INTERVAL '%1%2:%3' HOUR TO MINUTE")
                       .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                       .arg(std::abs(offset) / 60, 2, 10, QLatin1Char('0'))
                       .arg(std::abs(offset) % 60, 2, 10, QLatin1Char('0')));
        return true;
    }

    // Reads and writes wait for a lock up to the TIMEOUT limit. The session sends it when it
    // changes and again after a rollback, which may have undone it.
    void SetBusyTimeout(const QString& connectionName, int ms) const override {
        QSqlQuery(QSqlDatabase::database(connectionName, false))
            .exec(QStringLiteral("SET lock_timeout = %1").arg(LockTimeoutMs(ms)));
    }
    bool WaitsOutLocks() const override { return true; }

    QString Translate(const QString& sql, QString& unsupported) const override {
        return TranslateAccessSql(sql, SqlDialect::Postgres, &unsupported);
    }
    // A failed statement poisons the whole transaction; a savepoint around each statement keeps
    // the action's transaction usable so the statement can be retried or tolerated.
    bool SavepointPerStatement() const override { return true; }
    QString IdentityQuery() const override { return QStringLiteral("SELECT lastval() AS z_uid"); }

    QVariant RowIdParameter(const QVariant& id) const override { return id.toString(); }

    // The server names the table on the other side in its message and detail.
    BrokenReference ReadBrokenReference(const QSqlError& error, const QString&,
                                        const QString&) const override {
        if (error.nativeErrorCode() != QLatin1String("23503"))
            return {};
        static const QRegularExpression stillReferenced(QStringLiteral(
            "(?:still referenced from table|foreign key constraint \"[^\"]*\" on table) "
            "\"([^\"]+)\""));
        static const QRegularExpression notPresent(
            QStringLiteral("is not present in table \"([^\"]+)\""));
        const QString text = error.databaseText();
        BrokenReference reference;
        reference.broken = true;
        if (const auto match = stillReferenced.match(text); match.hasMatch())
            reference.referencing.append(match.captured(1));
        else if (const auto missing = notPresent.match(text); missing.hasMatch())
            reference.referenced.append(missing.captured(1));
        return reference;
    }

protected:
    // 0 would mean no limit at all to the server; a limit of 0 seconds ends the wait after one.
    static int LockTimeoutMs(int ms) { return ms <= 0 ? 1000 : ms; }

    QString RowIdColumn() const override { return QStringLiteral("ctid"); }

    ErrorClass NativeClass(const QSqlError& error) const override {
        const QString code = error.nativeErrorCode();
        if (code == QLatin1String("40P01") || code == QLatin1String("40001"))
            return ErrorClass::Conflict;
        if (code == QLatin1String("53100"))
            return ErrorClass::DiskFull;
        return ErrorClass::Data;
    }
    QString RowIdCondition() const override { return QStringLiteral("ctid=CAST(? AS tid)"); }

    void ClassifyNative(const QSqlError& error, const QString& description, bool& lock,
                        bool& network) const override {
        const QString code = error.nativeErrorCode();
        lock = lock || code == QLatin1String("55P03");
        network = network || code.startsWith(QLatin1String("08")) ||
                  code.startsWith(QLatin1String("57P")) || code.startsWith(QLatin1String("53")) ||
                  code.startsWith(QLatin1String("58")) ||
                  description.contains(QLatin1String("server closed the connection"));
    }
};

} // namespace

const EngineProfile& PostgresProfile() {
    static const Postgres profile;
    return profile;
}
