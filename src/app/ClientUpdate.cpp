#include "app/ClientUpdate.h"

#include "app/UpdateTrust.h"
#include "app/VersionCompare.h"
#include "data/DbSession.h"
#include "data/EngineProfile.h"
#include "platform/AppMessage.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

namespace {

void MakeExecutable(const QString& path) {
    QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                               QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                               QFileDevice::ExeGroup | QFileDevice::ReadOther |
                               QFileDevice::ExeOther);
}

bool WriteWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QByteArray ReadWhole(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// c_app rows: 1 the published client, 2 its updater, 3 and 4 their signatures (exe_0 each).
// c_app rows are named by these constants only, so the statements below spell them in.
constexpr int kClientRow = 1;
constexpr int kUpdaterRow = 2;
constexpr int kSignatureRowOffset = 2;

QByteArray ReadProgramRow(DbSession& session, int row) {
    QList<QByteArray> bytes;
    session.ReadBinary(QStringLiteral("SELECT exe_0 FROM c_app where uid_0=%1").arg(row),
                       {QStringLiteral("exe_0")}, bytes);
    return bytes.value(0);
}

} // namespace

qint64 ExpectedUpdaterSize(const QString& exeFolder) {
    QFile recorded(exeFolder + QStringLiteral("up.size"));
    bool ok = false;
    const qint64 size =
        recorded.open(QIODevice::ReadOnly) ? recorded.readAll().trimmed().toLongLong(&ok) : 0;
    return ok ? size : 73216;
}

void EnsureUpdater(const UpdateServer& server, const UpdateTrust& trust, const QString& exeFolder,
                   const QString& version, const UpdateLog& log) {
    const QString updater = exeFolder + QStringLiteral("up");
    const QFileInfo present(updater);
    if ((present.isFile() && present.size() == ExpectedUpdaterSize(exeFolder)) || !trust.HasKeys())
        return;
    // Fetched beside the new client and moved in only once checked: a refused one must not
    // take the place of a working one.
    QDir(exeFolder).mkpath(QStringLiteral("update"));
    const QString fetched = exeFolder + QStringLiteral("update/up");
    QString why;
    if (trust.SignedDownload(server, QStringLiteral("/service/dl.aspx?id=up"), fetched,
                             QStringLiteral("up"), version, why) != UpdateTrust::Fetched::Ok) {
        log(QStringLiteral("updater: not installed: %1").arg(why));
        return;
    }
    for (const QString& suffix : {QString(), QStringLiteral(".sig")}) {
        QFile::remove(updater + suffix);
        QFile::rename(fetched + suffix, updater + suffix);
    }
    MakeExecutable(updater);
}

int StartUpdater(const QString& exeFolder) {
    return QProcess::startDetached(exeFolder + QStringLiteral("up"), {QStringLiteral("-d")},
                                   exeFolder)
               ? 1
               : -1;
}

bool InstallFromAccountSet(const QString& exeFolder, const QString& ownVersion,
                           const UpdateTrust& trust, const UpdateLog& log) {
    DbSession session(DbSession::FromConfig);
    if (!session.Open())
        return false;
    QStringList published;
    if (!session.QueryColumns(QStringLiteral("SELECT ver_0 FROM c_app where uid_0=1"),
                              {QStringLiteral("ver_0")}, published) ||
        published.isEmpty() || CompareVersions(ownVersion, published.first()) >= 0) {
        session.Close();
        return false;
    }
    const QString version = published.first();
    const QByteArray client = ReadProgramRow(session, kClientRow);
    const QByteArray updater = ReadProgramRow(session, kUpdaterRow);
    const QByteArray clientSignature = ReadProgramRow(session, kClientRow + kSignatureRowOffset);
    const QByteArray updaterSignature = ReadProgramRow(session, kUpdaterRow + kSignatureRowOffset);
    session.Close();
    if (client.isEmpty()) {
        ShowAppMessage(QStringLiteral("下载文件失败"));
        return false;
    }
    // Without a key the account set is the authority; with one, the publisher is.
    QString why;
    if (trust.HasKeys() &&
        !trust.CheckBytes(client, clientSignature, QStringLiteral("vemo"), version, why)) {
        log(QStringLiteral("client: published %1 refused: %2").arg(version, why));
        return false;
    }
    // The updater comes along only as signed; the one here serves otherwise.
    const bool updaterSigned =
        !trust.HasKeys() ||
        trust.CheckBytes(updater, updaterSignature, QStringLiteral("up"), version, why);
    if (!updater.isEmpty() && !updaterSigned)
        log(QStringLiteral("updater: published one not installed: %1").arg(why));
    if (!updater.isEmpty() && updaterSigned) {
        WriteWhole(exeFolder + QStringLiteral("up"), updater);
        MakeExecutable(exeFolder + QStringLiteral("up"));
        if (trust.HasKeys())
            WriteWhole(exeFolder + QStringLiteral("up.sig"), updaterSignature);
    }
    QDir(exeFolder).mkpath(QStringLiteral("update"));
    const QString target = exeFolder + QStringLiteral("update/vemo");
    WriteWhole(target, client);
    MakeExecutable(target);
    QFile::remove(target + QStringLiteral(".sig"));
    if (trust.HasKeys())
        WriteWhole(target + QStringLiteral(".sig"), clientSignature);
    StartUpdater(exeFolder);
    return true;
}

int DownloadClient(const QString& cfgPath, const QString& exeFolder, const QString& ownVersion,
                   QString& problem) {
    problem.clear();
    const UpdateServer server = FindUpdateServer(cfgPath);
    if (server.IsEmpty())
        return 0;
    const UpdateTrust trust(exeFolder);
    const QString request = QStringLiteral("/version/v.txt");
    QString why;
    const QString latest =
        trust.HasKeys() ? trust.SignedAnswer(server, request, QStringLiteral("client-version.txt"),
                                             QStringLiteral("client-version.txt"), why)
                        : ShortAnswer(server.Url(request));
    if (!why.isEmpty()) {
        problem = QStringLiteral("更新服务器的版本信息未通过发布者签名检查，不安装：%1").arg(why);
        return 0;
    }
    if (latest.isEmpty())
        return 0;
    EnsureUpdater(server, trust, exeFolder, latest, [](const QString&) {});
    if (CompareVersions(latest, ownVersion) <= 0)
        return 0;
    if (!trust.HasKeys()) {
        problem = QStringLiteral("更新服务器有新版本 %1，但%2，不从更新服务器安装。")
                      .arg(latest, trust.KeyProblem());
        return 0;
    }
    QDir(exeFolder).mkpath(QStringLiteral("update"));
    const QString target = exeFolder + QStringLiteral("update/vemo");
    if (trust.SignedDownload(server, QStringLiteral("/service/dl.aspx?id=vemo"), target,
                             QStringLiteral("vemo"), latest, why) != UpdateTrust::Fetched::Ok) {
        problem = QStringLiteral("新版本 %1 未能安装：%2").arg(latest, why);
        return 0;
    }
    MakeExecutable(target);
    return QFileInfo(target).size() > 500000 && StartUpdater(exeFolder) == 1 ? 1 : 0;
}

QString FileDateText(const QString& path) {
    const QDateTime written = QFileInfo(path).lastModified();
    return QStringLiteral("%1 %2:%3")
        .arg(written.date().toString(QStringLiteral("yyyy-MM-dd")))
        .arg(written.time().hour())
        .arg(written.time().minute());
}

namespace {

// With a publisher key, the running client is published only with the publisher's signature
// that came with it, which the other installations check; `up` goes with its signature when it
// has one (without, the others keep their own). Empty `why` when all is fine.
bool PublisherSigned(const QString& exeFolder, const QString& ownVersion, const QByteArray& client,
                     const QByteArray& updater, QList<QByteArray>& signatures, QString& why) {
    const UpdateTrust trust(exeFolder);
    signatures = {QByteArray(), QByteArray()};
    if (!trust.HasKeys())
        return true;
    signatures[0] = ReadWhole(exeFolder + QStringLiteral("vemo.sig"));
    if (signatures[0].isEmpty()) {
        why = QStringLiteral("vemo 旁没有发布者的签名 vemo.sig，其他电脑不会安装它");
        return false;
    }
    if (!trust.CheckBytes(client, signatures[0], QStringLiteral("vemo"), ownVersion, why))
        return false;
    signatures[1] = ReadWhole(exeFolder + QStringLiteral("up.sig"));
    QString updaterWhy;
    if (!signatures[1].isEmpty() &&
        !trust.CheckBytes(updater, signatures[1], QStringLiteral("up"), ownVersion, updaterWhy))
        signatures[1].clear();
    return true;
}

// Rows 3 and 4 of c_app hold the signatures; made when a first signed client is published.
bool StoreSignatures(DbSession& session, const QList<QByteArray>& signatures) {
    for (int i = 0; i < 2; ++i) {
        const int row = kClientRow + i + kSignatureRowOffset;
        QString present;
        if (!session.QueryValue(QStringLiteral("SELECT uid_0 FROM c_app WHERE uid_0=%1").arg(row),
                                present)) {
            if (signatures[i].isEmpty())
                continue;
            // The identity column takes a given value on SQL Server (the engine spoken to in its
            // own dialect) only when asked to.
            const bool identity = session.Engine().TakesOwnDialect();
            if ((identity && !session.Execute(QStringLiteral("SET IDENTITY_INSERT c_app ON"))) ||
                !session.Execute(
                    QStringLiteral("INSERT INTO c_app (uid_0) VALUES (%1)").arg(row)) ||
                (identity && !session.Execute(QStringLiteral("SET IDENTITY_INSERT c_app OFF"))))
                return false;
        }
        const QString sql = QStringLiteral("SELECT uid_0,exe_0 FROM c_app where uid_0=%1").arg(row);
        const bool stored =
            signatures[i].isEmpty()
                ? session.Execute(
                      QStringLiteral("UPDATE c_app SET exe_0=NULL WHERE uid_0=%1").arg(row))
                : session.WriteBinary(sql, {QStringLiteral("exe_0")}, {signatures[i]});
        if (!stored)
            return false;
    }
    return true;
}

} // namespace

bool PublishClient(const QString& exeFolder, const QString& executable, const QString& ownVersion) {
    DbSession session(DbSession::FromConfig);
    if (!session.Open())
        return false;
    QStringList published;
    if (!session.QueryColumns(QStringLiteral("SELECT ver_0 FROM c_app where uid_0=1"),
                              {QStringLiteral("ver_0")}, published) ||
        published.isEmpty()) {
        session.Close();
        return false;
    }
    if (CompareVersions(ownVersion, published.first()) < 1) {
        ShowAppMessage(QStringLiteral("无更新版本需要发布。"));
        session.Close();
        return true;
    }
    if (ShowAppMessage(QStringLiteral("确定发布本新版本软件，供其他用户升级吗？"),
                       QStringLiteral("发布确认"), MessageButtons::YesNo) != MessageAnswer::Yes)
        return false;
    QFile program(executable);
    QFile updater(exeFolder + QStringLiteral("up"));
    // The updater is read before anything is written: without it nothing is published.
    if (!program.open(QIODevice::ReadOnly) || !updater.open(QIODevice::ReadOnly)) {
        ShowAppMessage(QStringLiteral("发新版本失败：无法读取 %1")
                           .arg(program.isOpen() ? updater.fileName() : program.fileName()));
        return false;
    }
    const QByteArray programBytes = program.readAll();
    const QByteArray updaterBytes = updater.readAll();
    QList<QByteArray> signatures;
    QString why;
    if (!PublisherSigned(exeFolder, ownVersion, programBytes, updaterBytes, signatures, why)) {
        ShowAppMessage(QStringLiteral("未发布：%1。").arg(why));
        return false;
    }
    if (!session.BeginTrans())
        return false;
    const QString row =
        QStringLiteral("SELECT uid_0,ver_0,exe_0, date_exe_0,date_up_0 FROM c_app where uid_0=%1");
    if (!session.WriteBinary(row.arg(kClientRow), {QStringLiteral("exe_0")}, {programBytes})) {
        session.RollbackTrans();
        ShowAppMessage(QStringLiteral("发新版本失败"));
        return false;
    }
    if (!session.WriteBinary(row.arg(kUpdaterRow), {QStringLiteral("exe_0")}, {updaterBytes})) {
        session.RollbackTrans();
        ShowAppMessage(QStringLiteral("发新版本失败2"));
        return false;
    }
    const bool stamped =
        StoreSignatures(session, signatures) &&
        session.Execute(
            session.Engine().TakesOwnDialect()
                ? QStringLiteral("UPDATE c_app SET ver_0=?,date_exe_0=?,date_up_0=getdate() where "
                                 "uid_0=1")
                : QStringLiteral(
                      "UPDATE c_app SET ver_0=?,date_exe_0=?,date_up_0=date() where uid_0=1"),
            {ownVersion, FileDateText(executable)});
    const bool committed = stamped && session.CommitTrans();
    if (!committed)
        session.RollbackTrans();
    ShowAppMessage(committed ? QStringLiteral("发布成功") : QStringLiteral("更新版本失败"));
    session.Close();
    return true;
}

void ReportHealthyStart(const QString& exeFolder) {
    if (!QFileInfo::exists(exeFolder + QStringLiteral("vemo.previous")))
        return;
    WriteWhole(exeFolder + QStringLiteral("vemo.started"),
               QByteArray::number(QCoreApplication::applicationPid()));
}
