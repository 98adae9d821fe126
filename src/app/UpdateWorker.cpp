#include "app/UpdateWorker.h"

#include "app/AutoBackup.h"
#include "app/ClientUpdate.h"
#include "app/DefinitionsMerge.h"
#include "app/UpdateServer.h"
#include "app/UpdateTrust.h"
#include "app/VersionCompare.h"
#include "data/ConnectionText.h"
#include "data/DbSession.h"
#include "data/EngineProfile.h"
#include "data/SessionContext.h"
#include "net/UrlCodec.h"
#include "platform/HostInfo.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileInfo>

#include <cstdio>
#include <thread>

namespace {

struct Facts {
    QString appId;
    QString definitionsVersion;
    QString company;
    QString stockRows = QStringLiteral("0");
    QString materialRows = QStringLiteral("0");
    // Whether the account set has navigation entries: an older definitions version would then
    // take something away.
    bool navigation = false;
};

// What the account set says about itself (steps 11 to 15 of the worker).
Facts ReadFacts(DbSession& session, const SessionContext& app) {
    Facts facts;
    facts.definitionsVersion = app.definitionsVersion.Get();
    facts.company = app.companyName.Get();
    if (session.Open()) {
        auto take = [&](const char* sql, QString& field) {
            QString value;
            if (session.QueryValue(QString::fromLatin1(sql), value))
                field = value;
        };
        take("SELECT app_0 FROM c_app WHERE uid_0=1", facts.appId);
        take("SELECT ver_1 FROM c_app WHERE uid_0=1", facts.definitionsVersion);
        take("SELECT company_0 FROM c_app WHERE uid_0=1", facts.company);
        take("SELECT count(1) FROM p_sto", facts.stockRows);
        take("SELECT count(1) FROM c_material", facts.materialRows);
        QString menus = QStringLiteral("0");
        take("SELECT count(1) FROM c_menu_dh", menus);
        // No navigation at all: any version the server announces is newer.
        facts.navigation = menus != QLatin1String("0");
        if (!facts.navigation) {
            session.Execute(QStringLiteral("UPDATE c_app set ver_1='10.0.0.0' WHERE uid_0=1"));
            facts.definitionsVersion = QStringLiteral("10.0.0.0");
        }
        session.Close();
    } else {
        facts.appId.clear();
        facts.definitionsVersion = QStringLiteral("10.0.0.0");
        facts.company = QStringLiteral("未连接到数据库");
    }
    facts.company.replace(QLatin1Char(' '), QLatin1Char('-'));
    for (QString* count : {&facts.stockRows, &facts.materialRows})
        if (count->indexOf(QStringLiteral("异常")) > 0 || count->isEmpty())
            *count = QStringLiteral("0");
    if (facts.appId.size() != 36)
        facts.appId.clear();
    if (facts.company.size() > 30)
        facts.company.clear();
    return facts;
}

void CleanUpdateFolder(const QString& exeFolder) {
    QDir(exeFolder + QStringLiteral("update")).removeRecursively();
}

// The latest version the server announces for `request`: with a key only as the publisher
// signed it, without one as it comes (then only reported, never installed from).
QString LatestVersion(const UpdateServer& server, const UpdateTrust& trust, const QString& request,
                      const QString& name, const QString& seenAs, const QString& what,
                      const UpdateLog& log) {
    if (!trust.HasKeys())
        return ShortAnswer(server.Url(request));
    QString why;
    const QString latest = trust.SignedAnswer(server, request, name, seenAs, why);
    if (!why.isEmpty())
        log(QStringLiteral("%1: answer refused: %2").arg(what, why));
    return latest;
}

} // namespace

void RunUpdateWorker(const SessionContext& app, const UpdateRun& run) {
    const QString cfg = run.exeFolder + QStringLiteral("cfg.ini");
    DbSession session(DbSession::FromConfig);
    const DbKindCode kindCode = KindOfConnection(session.ConnectionString());
    const QString kind = QString::number(static_cast<int>(kindCode));
    SessionContext::UpdateFindings kindFound;
    kindFound.dbKind = kind;
    run.report(kindFound);

    // The daily copy of a local-file account set.
    if (EngineProfile::Of(kindCode).IsLocalFile()) {
        const QString path = AccountSetPathOf(session.ConnectionString());
        QString error;
        if (BackUpAccountSet(path, QDate::currentDate(), error))
            run.log(QStringLiteral("backup: %1")
                        .arg(QFileInfo(path).absolutePath() + QStringLiteral("/AutoBackup")));
        else
            run.log(QStringLiteral("backup failed: %1").arg(error));
    }

    // A process restarted right after a merge does not check again.
    const QFileInfo lastMenu(run.exeFolder + QStringLiteral("update/dh_menu.txt"));
    const qint64 age =
        lastMenu.exists() ? lastMenu.lastModified().secsTo(QDateTime::currentDateTime()) : -1;
    if (age >= 1 && age <= 300) {
        run.log(QStringLiteral("skip: update/dh_menu.txt is %1 s old").arg(age));
        return;
    }

    const UpdateTrust trust(run.exeFolder);
    if (!trust.HasKeys())
        run.log(QStringLiteral("trust: %1: nothing is installed from the update server")
                    .arg(trust.KeyProblem()));

    const Facts facts = ReadFacts(session, app);
    SessionContext::UpdateFindings found;
    found.appId = facts.appId;
    found.definitionsVersion = facts.definitionsVersion;
    found.companyName = facts.company;
    run.report(found);
    QDir(run.exeFolder).mkpath(QStringLiteral("update"));

    const UpdateServer server = FindUpdateServer(cfg);
    SessionContext::UpdateFindings serverFound;
    serverFound.updateServer = server.address;
    run.report(serverFound);
    QString latestClient;
    QString latestDefinitions;
    if (server.IsEmpty()) {
        run.log(QStringLiteral("server: none"));
    } else {
        run.log(QStringLiteral("server: %1").arg(server.address));
        QString company = UrlEncode(facts.company);
        if (company.size() < 4)
            company = QStringLiteral("test0");
        const QString report =
            QStringLiteral("/service/v.aspx?v=") + run.ownVersion + QLatin1Char('-') +
            facts.definitionsVersion + QLatin1Char('-') + facts.materialRows + QLatin1Char('-') +
            facts.stockRows + QStringLiteral("&id=") + platform::FirstAdapterMacAddress() +
            QStringLiteral("&name=") + UrlEncode(platform::HostName()) + QStringLiteral("&ip=") +
            platform::HostIpv4Address() + QStringLiteral("&type=") + kind + QStringLiteral("&c=") +
            company + QStringLiteral("&app=") + facts.appId;
        const QString client = QStringLiteral("client-version.txt");
        latestClient = LatestVersion(server, trust, report, client, client,
                                     QStringLiteral("latest client"), run.log);
        run.log(QStringLiteral("latest client: %1").arg(latestClient));
        if (!latestClient.isEmpty() && CompareVersions(latestClient, run.ownVersion) > 0)
            EnsureUpdater(server, trust, run.exeFolder, latestClient, run.log);
        // Each account set has its own definitions: their answers are seen apart.
        const QString definitions = QStringLiteral("definitions-version.txt");
        latestDefinitions = LatestVersion(
            server, trust,
            QStringLiteral("/service/v1.aspx?type=%1&app_id=%2").arg(kind, facts.appId),
            definitions, definitions + QStringLiteral(" type=%1 app=%2").arg(kind, facts.appId),
            QStringLiteral("latest definitions"), run.log);
        run.log(QStringLiteral("latest definitions: %1").arg(latestDefinitions));
    }

    // A newer client: from the server, or the one published into the account set.
    if (trust.HasKeys() && !latestClient.isEmpty() &&
        CompareVersions(latestClient, run.ownVersion) > 0) {
        const QString target = run.exeFolder + QStringLiteral("update/vemo");
        QString why;
        const UpdateTrust::Fetched fetched =
            trust.SignedDownload(server, QStringLiteral("/service/dl.aspx?id=vemo"), target,
                                 QStringLiteral("vemo"), latestClient, why);
        if (fetched == UpdateTrust::Fetched::Ok && QFileInfo(target).size() > 300000) {
            QFile(target).setPermissions(QFile(target).permissions() | QFileDevice::ExeOwner |
                                         QFileDevice::ExeGroup | QFileDevice::ExeOther);
            if (StartUpdater(run.exeFolder) == 1) {
                run.log(QStringLiteral("client: %1 downloaded, updater started").arg(latestClient));
                return;
            }
        }
        if (fetched == UpdateTrust::Fetched::Refused)
            run.log(QStringLiteral("client: %1 refused: %2").arg(latestClient, why));
        else
            run.log(QStringLiteral("client: download failed%1")
                        .arg(why.isEmpty() ? QString() : QStringLiteral(": ") + why));
    } else if (InstallFromAccountSet(run.exeFolder, run.ownVersion, trust, run.log)) {
        run.log(QStringLiteral("client: installing the one published in the account set"));
        return;
    }

    // Newer function definitions.
    if (latestDefinitions.isEmpty() || latestDefinitions == facts.definitionsVersion) {
        run.log(QStringLiteral("definitions: current"));
        CleanUpdateFolder(run.exeFolder);
        return;
    }
    if (!trust.HasKeys()) {
        run.log(QStringLiteral("definitions: %1 not installed").arg(latestDefinitions));
        CleanUpdateFolder(run.exeFolder);
        return;
    }
    // An older package would take back what a newer one brought; only an account set without
    // any navigation has nothing to lose.
    if (facts.navigation && CompareVersions(latestDefinitions, facts.definitionsVersion) <= 0) {
        run.log(QStringLiteral("definitions: %1 refused: not newer than the account set's %2")
                    .arg(latestDefinitions, facts.definitionsVersion));
        CleanUpdateFolder(run.exeFolder);
        return;
    }
    const QString query = QStringLiteral("/service/dl.aspx?type=%1&app_id=%2&id=%3");
    auto fetch = [&](const QString& name, QString& why) {
        return trust.SignedDownload(server, query.arg(kind, facts.appId, name),
                                    run.exeFolder + QStringLiteral("update/") + name, name,
                                    latestDefinitions, why);
    };
    for (const char* file : {"dh_menu.txt", "menu_button.txt", "up_sql.txt", "clear_sql.txt"}) {
        const QString name = QString::fromLatin1(file);
        QString why;
        const UpdateTrust::Fetched fetched = fetch(name, why);
        if (fetched != UpdateTrust::Fetched::Ok) {
            run.log(
                fetched == UpdateTrust::Fetched::Refused
                    ? QStringLiteral("definitions: %1 refused: %2").arg(name, why)
                    : QStringLiteral("definitions: %1 could not be downloaded: %2").arg(name, why));
            return;
        }
        if (name == QLatin1String("dh_menu.txt")) {
            SessionContext::UpdateFindings pending;
            pending.updatePending = true;
            run.report(pending);
        }
    }
    DbSession merge(DbSession::FromConfig);
    if (!merge.Open()) {
        CleanUpdateFolder(run.exeFolder);
        return;
    }
    QString appId;
    merge.QueryValue(QStringLiteral("SELECT app_0 FROM c_app WHERE uid_0=1"), appId);
    if (appId != facts.appId) {
        run.log(QStringLiteral("definitions: another account set"));
        merge.Close();
        CleanUpdateFolder(run.exeFolder);
        return;
    }
    DefinitionsDownload download;
    download.folder = run.exeFolder + QStringLiteral("update");
    download.version = latestDefinitions;
    download.dbKind = kind;
    download.fetchForm = [&](const QString& uid, QString& why) {
        return fetch(uid + QStringLiteral("_form.dll"), why) == UpdateTrust::Fetched::Ok;
    };
    QString error;
    if (!MergeDefinitions(merge, download, run.log, error)) {
        run.log(QStringLiteral("definitions: not merged: %1").arg(error));
        CleanUpdateFolder(run.exeFolder);
    }
    merge.Close();
}

namespace {

std::thread& WorkerThread() {
    static std::thread worker;
    return worker;
}

} // namespace

void StartUpdateWorker(SessionContext& app) {
    UpdateRun run;
    run.exeFolder = app.exeFolder;
    run.ownVersion = app.exeVersion;
    // The client has no window for these: they go to its standard error (the session's journal).
    run.log = [](const QString& line) {
        std::fprintf(stderr, "vemo update: %s\n", line.toUtf8().constData());
    };
    run.report = [&app](const SessionContext::UpdateFindings& findings) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&app, findings] { app.ApplyUpdateFindings(findings); },
            Qt::QueuedConnection);
    };
    if (WorkerThread().joinable() || !QCoreApplication::instance())
        return; // once per process, and only with an event loop to report to
    WorkerThread() = std::thread([&app, run] { RunUpdateWorker(app, run); });
}

void FinishUpdateWorker() {
    if (!WorkerThread().joinable())
        return;
    WorkerThread().join();
    QCoreApplication::sendPostedEvents(QCoreApplication::instance(), QEvent::MetaCall);
}
