#include "app/UpdateWorker.h"

#include "app/AutoBackup.h"
#include "app/ClientUpdate.h"
#include "app/DefinitionsMerge.h"
#include "app/UpdateServer.h"
#include "app/VersionCompare.h"
#include "data/ConnectionText.h"
#include "data/DbSession.h"
#include "data/SessionContext.h"
#include "net/UrlCodec.h"
#include "platform/HostInfo.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <thread>

namespace {

struct Facts {
    QString appId;
    QString definitionsVersion;
    QString company;
    QString stockRows = QStringLiteral("0");
    QString materialRows = QStringLiteral("0");
};

// What the account set says about itself (steps 11 to 15 of the worker).
Facts ReadFacts(CDbSession& session, SessionContext& app) {
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
        if (menus == QLatin1String("0")) {
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

} // namespace

void RunUpdateWorker(SessionContext& app, const UpdateRun& run) {
    const QString cfg = run.exeFolder + QStringLiteral("cfg.ini");
    CDbSession session(CDbSession::FromConfig);
    const QString kind =
        QString::number(static_cast<int>(KindOfConnection(session.ConnectionString())));
    app.dbKind.Set(kind);

    // The daily copy of a local-file account set.
    if (kind == QLatin1String("2")) {
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

    const Facts facts = ReadFacts(session, app);
    app.appId.Set(facts.appId);
    app.definitionsVersion.Set(facts.definitionsVersion);
    app.companyName.Set(facts.company);
    QDir(run.exeFolder).mkpath(QStringLiteral("update"));

    const UpdateServer server = FindUpdateServer(cfg);
    app.updateServer.Set(server.address);
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
        latestClient = ShortAnswer(server.Url(report));
        run.log(QStringLiteral("latest client: %1").arg(latestClient));
        if (!latestClient.isEmpty() && CompareVersions(latestClient, run.ownVersion) > 0)
            EnsureUpdater(server, run.exeFolder);
        latestDefinitions = ShortAnswer(server.Url(
            QStringLiteral("/service/v1.aspx?type=%1&app_id=%2").arg(kind, facts.appId)));
        run.log(QStringLiteral("latest definitions: %1").arg(latestDefinitions));
    }

    // A newer client: from the server, or the one published into the account set.
    if (!latestClient.isEmpty() && CompareVersions(latestClient, run.ownVersion) > 0) {
        const QString target = run.exeFolder + QStringLiteral("update/vemo");
        if (DownloadToFile(server.Url(QStringLiteral("/service/dl.aspx?id=vemo")), target) &&
            QFileInfo(target).size() > 300000) {
            QFile(target).setPermissions(QFile(target).permissions() | QFileDevice::ExeOwner |
                                         QFileDevice::ExeGroup | QFileDevice::ExeOther);
            if (StartUpdater(run.exeFolder) == 1) {
                run.log(QStringLiteral("client: %1 downloaded, updater started").arg(latestClient));
                return;
            }
        }
        run.log(QStringLiteral("client: download failed"));
    } else if (InstallFromAccountSet(run.exeFolder, run.ownVersion)) {
        run.log(QStringLiteral("client: installing the one published in the account set"));
        return;
    }

    // Newer function definitions.
    if (latestDefinitions.isEmpty() || latestDefinitions == facts.definitionsVersion) {
        run.log(QStringLiteral("definitions: current"));
        CleanUpdateFolder(run.exeFolder);
        return;
    }
    const QString query = QStringLiteral("/service/dl.aspx?type=%1&app_id=%2&id=%3");
    for (const char* file : {"dh_menu.txt", "menu_button.txt", "up_sql.txt", "clear_sql.txt"}) {
        const QString name = QString::fromLatin1(file);
        if (!DownloadToFile(server.Url(query.arg(kind, facts.appId, name)),
                            run.exeFolder + QStringLiteral("update/") + name)) {
            run.log(QStringLiteral("definitions: %1 could not be downloaded").arg(name));
            return;
        }
        if (name == QLatin1String("dh_menu.txt"))
            app.updatePending = true;
    }
    CDbSession merge(CDbSession::FromConfig);
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
    download.fetchForm = [&](const QString& uid) {
        return DownloadToFile(
            server.Url(query.arg(kind, facts.appId, uid + QStringLiteral("_form.dll"))),
            download.folder + QLatin1Char('/') + uid + QStringLiteral("_form.dll"));
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
    if (WorkerThread().joinable())
        return; // once per process
    WorkerThread() = std::thread([&app, run] { RunUpdateWorker(app, run); });
}

void FinishUpdateWorker() {
    if (WorkerThread().joinable())
        WorkerThread().join();
}
