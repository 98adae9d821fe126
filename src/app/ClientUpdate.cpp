#include "app/ClientUpdate.h"

#include "app/VersionCompare.h"
#include "data/DbSession.h"
#include "platform/AppMessage.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

qint64 ExpectedUpdaterSize(const QString& exeFolder) {
    QFile recorded(exeFolder + QStringLiteral("up.size"));
    bool ok = false;
    const qint64 size =
        recorded.open(QIODevice::ReadOnly) ? recorded.readAll().trimmed().toLongLong(&ok) : 0;
    return ok ? size : 73216;
}

void EnsureUpdater(const UpdateServer& server, const QString& exeFolder) {
    const QFileInfo updater(exeFolder + QStringLiteral("up"));
    if (updater.isFile() && updater.size() == ExpectedUpdaterSize(exeFolder))
        return;
    if (DownloadToFile(server.Url(QStringLiteral("/service/dl.aspx?id=up")), updater.filePath()))
        QFile(updater.filePath())
            .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                            QFileDevice::ExeOwner | QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                            QFileDevice::ReadOther | QFileDevice::ExeOther);
}

int StartUpdater(const QString& exeFolder) {
    return QProcess::startDetached(exeFolder + QStringLiteral("up"), {QStringLiteral("-d")},
                                   exeFolder)
               ? 1
               : -1;
}

bool InstallFromAccountSet(const QString& exeFolder, const QString& ownVersion) {
    CDbSession session(CDbSession::FromConfig);
    if (!session.Open())
        return false;
    QStringList published;
    if (!session.QueryColumns(QStringLiteral("SELECT ver_0 FROM c_app where uid_0=1"),
                              {QStringLiteral("ver_0")}, published) ||
        published.isEmpty() || CompareVersions(ownVersion, published.first()) >= 0) {
        session.Close();
        return false;
    }
    // The client (row 1) and the updater (row 2), one read each.
    QList<QByteArray> programs;
    for (int row : {1, 2}) {
        QList<QByteArray> bytes;
        if (!session.ReadBinary(QStringLiteral("SELECT exe_0 FROM c_app where uid_0=%1").arg(row),
                                {QStringLiteral("exe_0")}, bytes))
            ShowAppMessage(QStringLiteral("下载文件失败"));
        programs.append(bytes.value(0));
    }
    session.Close();
    if (programs.isEmpty() || programs.first().isEmpty())
        return false;
    auto write = [](const QString& path, const QByteArray& bytes) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                            QFileDevice::ExeOther);
    };
    if (programs.size() > 1 && !programs[1].isEmpty())
        write(exeFolder + QStringLiteral("up"), programs[1]);
    QDir(exeFolder).mkpath(QStringLiteral("update"));
    write(exeFolder + QStringLiteral("update/vemo"), programs.first());
    StartUpdater(exeFolder);
    return true;
}

int DownloadClient(const QString& cfgPath, const QString& exeFolder, const QString& ownVersion) {
    const UpdateServer server = FindUpdateServer(cfgPath);
    if (server.IsEmpty())
        return 0;
    const QString latest = ShortAnswer(server.Url(QStringLiteral("/version/v.txt")));
    if (latest.isEmpty())
        return 0;
    EnsureUpdater(server, exeFolder);
    if (CompareVersions(latest, ownVersion) <= 0)
        return 0;
    QDir(exeFolder).mkpath(QStringLiteral("update"));
    const QString target = exeFolder + QStringLiteral("update/vemo");
    if (!DownloadToFile(server.Url(QStringLiteral("/service/dl.aspx?id=vemo")), target))
        return 0;
    QFile(target).setPermissions(QFile(target).permissions() | QFileDevice::ExeOwner |
                                 QFileDevice::ExeGroup | QFileDevice::ExeOther);
    return QFileInfo(target).size() > 500000 && StartUpdater(exeFolder) == 1 ? 1 : 0;
}

QString FileDateText(const QString& path) {
    const QDateTime written = QFileInfo(path).lastModified();
    return QStringLiteral("%1 %2:%3")
        .arg(written.date().toString(QStringLiteral("yyyy-MM-dd")))
        .arg(written.time().hour())
        .arg(written.time().minute());
}

bool PublishClient(const QString& exeFolder, const QString& executable, const QString& ownVersion) {
    CDbSession session(CDbSession::FromConfig);
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
    if (!session.BeginTrans())
        return false;
    const QString row =
        QStringLiteral("SELECT uid_0,ver_0,exe_0, date_exe_0,date_up_0 FROM c_app where uid_0=%1");
    if (!session.WriteBinary(row.arg(1), {QStringLiteral("exe_0")}, {program.readAll()})) {
        session.RollbackTrans();
        ShowAppMessage(QStringLiteral("发新版本失败"));
        return false;
    }
    if (!session.WriteBinary(row.arg(2), {QStringLiteral("exe_0")}, {updater.readAll()})) {
        session.RollbackTrans();
        ShowAppMessage(QStringLiteral("发新版本失败2"));
        return false;
    }
    const bool stamped = session.Execute(
        session.Kind() == 1
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
