#include "BenchSupport.h"

#include "AccountSetInit.h"
#include "DemoAccountSet.h"
#include "app/Application.h"
#include "app/Login.h"
#include "data/CfgFile.h"
#include "data/CfgScramble.h"
#include "data/ConnectionText.h"
#include "data/DbSession.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace bench {

namespace {

// libpq conninfo of the benchmark server with another database name.
QString PgConnInfo(const QString& database) {
    QStringList parts;
    for (const QString& part :
         qEnvironmentVariable("VEMO_BENCH_PG").split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (!part.startsWith(QLatin1String("dbname=")))
            parts.append(part);
    parts.append(QStringLiteral("dbname=") + database);
    return parts.join(QLatin1Char(' '));
}

// CREATE and DROP DATABASE cannot run inside a transaction, so they go around the session.
bool RunOnServer(const QString& statement) {
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("vemo_bench_admin_%1").arg(counter++);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        const DriverConnection target =
            MapToDriver(PostgresConnectionTextFromConnInfo(PgConnInfo(QStringLiteral("postgres"))));
        db.setHostName(target.host);
        db.setPort(target.port);
        db.setUserName(target.user);
        db.setPassword(target.password);
        db.setDatabaseName(target.databaseName);
        if (db.open())
            ok = QSqlQuery(db).exec(statement);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

std::int64_t StatusField(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

} // namespace

bool SmallRun() {
    return qEnvironmentVariableIntValue("VEMO_BENCH_SMALL") != 0;
}

int Scaled(int n, int small) {
    return SmallRun() ? small : n;
}

std::unique_ptr<AccountSet> AccountSet::CreateSqlite(QString& why, bool demo) {
    std::unique_ptr<AccountSet> set(new AccountSet);
    const QString file = set->Folder() + QStringLiteral("account.dat");
    if (!(demo ? InitSqliteDemoAccountSet(file, why) : InitSqliteAccountSet(file, why)))
        return nullptr;
    set->connectionText_ = AccessConnectionText(file);
    return set;
}

std::unique_ptr<AccountSet> AccountSet::CreatePostgres(QString& why) {
    if (qEnvironmentVariable("VEMO_BENCH_PG").isEmpty()) {
        why = QStringLiteral("VEMO_BENCH_PG is not set: no PostgreSQL server");
        return nullptr;
    }
    std::unique_ptr<AccountSet> set(new AccountSet);
    const QString database =
        QStringLiteral("vemo_b_") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    if (!RunOnServer(QStringLiteral("CREATE DATABASE ") + database)) {
        why = QStringLiteral("cannot create a database on the PostgreSQL server");
        return nullptr;
    }
    set->pgDatabase_ = database;
    const QString info = PgConnInfo(database);
    if (!InitPostgresAccountSet(info, why))
        return nullptr;
    set->connectionText_ = PostgresConnectionTextFromConnInfo(info);
    return set;
}

AccountSet::~AccountSet() {
    if (!pgDatabase_.isEmpty())
        RunOnServer(QStringLiteral("DROP DATABASE IF EXISTS ") + pgDatabase_ +
                    QStringLiteral(" WITH (FORCE)"));
}

bool AccountSet::UseAndLogIn(QString& why) const {
    Application& app = Application::Instance();
    SessionContext::StartUp facts = app.session.StartUpFacts();
    facts.exeFolder = Folder();
    facts.closeForReal = false;
    app.session.ApplyStartUp(facts);
    app.session.SetStoredConnectionText(QString());
    app.forms.openForms.clear();
    app.forms.formCache.clear();
    WriteCfg(app.CfgPath(), QStringLiteral("SERVER"), QStringLiteral("NAME"),
             ScrambleCfgText(connectionText_, 1));
    DbSession login(DbSession::FromConfig);
    QString message;
    const LoginResult result =
        AttemptLogin(login, app, QStringLiteral("admin"), DefaultPassword(), &message);
    if (result != LoginResult::LoggedIn) {
        why = QStringLiteral("login failed: %1").arg(message);
        return false;
    }
    return true;
}

std::int64_t ResidentBytes() {
    return StatusField("VmRSS");
}

std::int64_t PeakResidentBytes() {
    return StatusField("VmHWM");
}

bool ResetPeak() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

int StartUpdateServer(QProcess& server, const QString& folder, QString& error) {
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(QStringLiteral("python3"),
                 {QStringLiteral(VEMO_SOURCE_DIR "/tools/update-server/update-server.py"),
                  QStringLiteral("--dir"), folder, QStringLiteral("--port"), QStringLiteral("0")});
    // The servers live until the process ends, and no longer.
    static std::mutex mutex;
    static std::vector<qint64> servers;
    {
        const std::lock_guard lock(mutex);
        if (servers.empty())
            std::atexit([] {
                for (const qint64 pid : servers)
                    ::kill(pid_t(pid), SIGTERM);
            });
        servers.push_back(server.processId());
    }
    if (!server.waitForReadyRead(10000)) {
        error = QStringLiteral("the update server did not start");
        return 0;
    }
    const QByteArray line = server.readLine();
    return line.mid(line.lastIndexOf(':') + 1).trimmed().toInt();
}

} // namespace bench
