// up: the updater the client starts as "up -d" from its folder once a new client waits at
// update/vemo. It waits for the running client to end, puts the new one in place with a rename
// (never a half-written executable), keeps the old one as vemo.previous until the new one has
// started (the client removes it then), and starts the client again. A new client that cannot
// be started is taken back out and the old one started instead.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <sys/resource.h>

namespace {

// Whether a process runs the program at `path` (Linux: /proc/<pid>/exe).
bool Running(const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (!pid.front().isDigit() || pid.toLongLong() == QCoreApplication::applicationPid())
            continue;
        const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
        if (!exe.isEmpty() && (exe == target || exe == target + QStringLiteral(" (deleted)")))
            return true;
    }
    return false;
}

bool MakeExecutable(const QString& path) {
    return QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                      QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                      QFileDevice::ExeOther);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (app.arguments().value(1) != QLatin1String("-d"))
        return 2;
    // Idle priority: the user's work comes first.
    setpriority(PRIO_PROCESS, 0, 19);

    const QDir folder(QCoreApplication::applicationDirPath());
    const QString client = folder.filePath(QStringLiteral("vemo"));
    const QString fresh = folder.filePath(QStringLiteral("update/vemo"));
    const QString previous = folder.filePath(QStringLiteral("vemo.previous"));
    if (!QFileInfo::exists(fresh))
        return 1;

    // The running client ends on its own; give it up to ten minutes.
    for (int waited = 0; Running(client) && waited < 3000; ++waited)
        QThread::msleep(200);
    if (Running(client))
        return 1;

    QFile::remove(previous);
    if (QFileInfo::exists(client) && !QFile::rename(client, previous))
        return 1;
    if (!QFile::rename(fresh, client)) {
        QFile::rename(previous, client);
        return 1;
    }
    MakeExecutable(client);
    if (QProcess::startDetached(client, {}, folder.path()))
        return 0;
    // The new client does not start: the old one comes back.
    QFile::remove(client);
    QFile::rename(previous, client);
    QProcess::startDetached(client, {}, folder.path());
    return 1;
}
