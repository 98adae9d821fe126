#pragma once
// Real account sets for tests: a new SQLite file in a temporary folder, or a new database on
// the loopback PostgreSQL server that the test command starts (VEMO_TEST_PG).
#include <QString>
#include <QTemporaryDir>

#include <memory>

enum class Engine { Sqlite, Postgres };

const char* EngineName(Engine engine);

// The column type of a key the engine numbers itself, for tables a test creates.
QString AutoKeyType(Engine engine);

// libpq conninfo of the test server for the given database, or "" when no server was started.
QString TestPgConnInfo(const QString& database = QStringLiteral("postgres"));

class Application;
class TestAccountSet;

// Overwrites the first page of `table` in the SQLite file with garbage, as a failing disk would:
// the schema still reads, a read of the table reports the file damaged. No connection may hold
// the file's pages meanwhile. False with `why` when the page cannot be found or written.
bool DamageTablePage(const QString& sqliteFile, const QString& table, QString& why);

// Makes the account set the one the application is configured for: its folder is the exe
// folder, cfg.ini names it, and no form, cached definition or resolved connection is left over.
void UseAccountSetAsConfigured(const TestAccountSet& set, Application& app);

class TestAccountSet {
public:
    // Creates an account set with the client's schema; null with `why` set when the engine is
    // not available here.
    static std::unique_ptr<TestAccountSet> Create(Engine engine, QString& why);
    // A new database on the PostgreSQL test server without any tables, for creating an account
    // set in it; dropped with the object like the others.
    static std::unique_ptr<TestAccountSet> CreateEmptyPostgres(QString& why);
    ~TestAccountSet();

    Engine engine() const { return engine_; }
    // The unscrambled connection text a session opens.
    const QString& connectionText() const { return connectionText_; }
    // Folder that may serve as an exe folder (cfg.ini, temp, update).
    QString folder() const { return dir_.path() + QLatin1Char('/'); }
    // PostgreSQL: the database's libpq conninfo on the test server.
    QString pgConnInfo() const { return TestPgConnInfo(pgDatabase_); }
    // SQLite: the account-set file.
    QString sqliteFile() const { return folder() + QStringLiteral("account.dat"); }

private:
    TestAccountSet() = default;
    Engine engine_ = Engine::Sqlite;
    QTemporaryDir dir_;
    QString connectionText_;
    QString pgDatabase_;
};
