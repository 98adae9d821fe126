#include "support/TestAccountSet.h"
#include "support/SessionFacts.h"

#include "AccountSetInit.h"
#include "app/Application.h"
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/ConnectionText.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

#include <atomic>

#include <sqlite3.h>

namespace {

// Runs one statement on the server's maintenance database (CREATE/DROP DATABASE cannot run in
// a transaction, so this goes around the session).
bool RunOnServer(const QString& statement) {
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("vemo_test_admin_%1").arg(counter++);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        const DriverConnection target =
            MapToDriver(PostgresConnectionTextFromConnInfo(TestPgConnInfo()));
        db.setHostName(target.host);
        db.setPort(target.port);
        db.setUserName(target.user);
        db.setDatabaseName(target.databaseName);
        if (db.open())
            ok = QSqlQuery(db).exec(statement);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

bool DamageTablePage(const QString& sqliteFile, const QString& table, QString& why) {
    sqlite3* db = nullptr;
    qint64 rootPage = 0;
    qint64 pageSize = 0;
    if (sqlite3_open_v2(QFile::encodeName(sqliteFile).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        const QByteArray sql = "SELECT rootpage, (SELECT page_size FROM pragma_page_size) FROM "
                               "sqlite_master WHERE type='table' AND name='" +
                               table.toUtf8() + "'";
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            rootPage = sqlite3_column_int64(statement, 0);
            pageSize = sqlite3_column_int64(statement, 1);
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    // Page 1 holds the schema: damaging it would make the file unreadable as a whole.
    if (rootPage < 2 || pageSize <= 0) {
        why = QStringLiteral("no page of table %1 in %2").arg(table, sqliteFile);
        return false;
    }
    QFile file(sqliteFile);
    if (!file.open(QIODevice::ReadWrite) || !file.seek((rootPage - 1) * pageSize) ||
        file.write(QByteArray(pageSize, char(0xA5))) != pageSize) {
        why = file.errorString();
        return false;
    }
    return true;
}

const char* EngineName(Engine engine) {
    return engine == Engine::Sqlite ? "SQLite" : "PostgreSQL";
}

QString AutoKeyType(Engine engine) {
    return engine == Engine::Sqlite ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
                                    : QStringLiteral("serial PRIMARY KEY");
}

QString TestPgConnInfo(const QString& database) {
    QString info = qEnvironmentVariable("VEMO_TEST_PG");
    if (info.isEmpty())
        return {};
    QStringList parts;
    for (const QString& part : info.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (!part.startsWith(QLatin1String("dbname=")))
            parts.append(part);
    parts.append(QStringLiteral("dbname=") + database);
    return parts.join(QLatin1Char(' '));
}

std::unique_ptr<TestAccountSet> TestAccountSet::Create(Engine engine, QString& why) {
    QString error;
    if (engine == Engine::Postgres) {
        std::unique_ptr<TestAccountSet> set = CreateEmptyPostgres(why);
        if (set && !InitPostgresAccountSet(set->pgConnInfo(), error)) {
            why = error;
            return nullptr;
        }
        return set;
    }
    std::unique_ptr<TestAccountSet> set(new TestAccountSet);
    set->engine_ = engine;
    const QString file = set->folder() + QStringLiteral("account.dat");
    if (!InitSqliteAccountSet(file, error)) {
        why = error;
        return nullptr;
    }
    set->connectionText_ = AccessConnectionText(file);
    return set;
}

std::unique_ptr<TestAccountSet> TestAccountSet::CreateEmptyPostgres(QString& why) {
    if (TestPgConnInfo().isEmpty()) {
        why = QStringLiteral("VEMO_TEST_PG is not set: no PostgreSQL test server");
        return nullptr;
    }
    std::unique_ptr<TestAccountSet> set(new TestAccountSet);
    set->engine_ = Engine::Postgres;
    set->pgDatabase_ =
        QStringLiteral("vemo_t_") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    if (!RunOnServer(QStringLiteral("CREATE DATABASE ") + set->pgDatabase_)) {
        why = QStringLiteral("cannot create a database on the PostgreSQL test server");
        set->pgDatabase_.clear();
        return nullptr;
    }
    set->connectionText_ = PostgresConnectionTextFromConnInfo(set->pgConnInfo());
    return set;
}

TestAccountSet::~TestAccountSet() {
    if (!pgDatabase_.isEmpty())
        RunOnServer(QStringLiteral("DROP DATABASE IF EXISTS ") + pgDatabase_ +
                    QStringLiteral(" WITH (FORCE)"));
}

void UseAccountSetAsConfigured(const TestAccountSet& set, Application& app) {
    ChangeStartUp(app.session, [&](SessionContext::StartUp& facts) {
        facts.exeFolder = set.folder();
        facts.closeForReal = false;
    });
    app.session.SetStoredConnectionText(QString());
    app.forms.openForms.clear();
    app.forms.formCache.clear();
    WriteCfg(app.CfgPath(), "SERVER", "NAME", ScrambleCfgText(set.connectionText(), 1));
}
