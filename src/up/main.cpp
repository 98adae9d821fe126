// up: the updater the client starts as "up -d" from its folder once a new client waits at
// update/vemo. It waits for the running client to end, puts the new one in place with a rename
// (never a half-written executable), keeps the old one as vemo.previous, and starts the new one.
// The old one goes only once the new one has reported a healthy start (vemo.started holding its
// pid, written when its login shows); a new client that cannot be started, ends or crashes
// before that, or does not report within the start limit, is taken back out and the old one
// put back and started instead. The publisher's signature that came with the new client
// (update/vemo.sig) goes beside it as vemo.sig once it runs.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <csignal>

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

// Whether process `pid` still runs (a zombie has ended).
bool Alive(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype state = text.lastIndexOf(')') + 2; // after "pid (name) "
    return state > 1 && state < text.size() && text.at(state) != 'Z';
}

bool MakeExecutable(const QString& path) {
    return QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                      QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                      QFileDevice::ExeOther);
}

// How long a new client has to report its start: VEMO_UP_START_SECONDS, else a minute.
int StartLimitMs() {
    bool number = false;
    const int seconds = qEnvironmentVariableIntValue("VEMO_UP_START_SECONDS", &number);
    return (number && seconds > 0 ? seconds : 60) * 1000;
}

// Waits for process `pid` to write its pid into `marker`; false when it ends first or the start
// limit passes.
bool ReportsHealthyStart(qint64 pid, const QString& marker) {
    const QByteArray expected = QByteArray::number(pid);
    auto reported = [&] {
        QFile file(marker);
        return file.open(QIODevice::ReadOnly) && file.readAll().trimmed() == expected;
    };
    QElapsedTimer waited;
    waited.start();
    const int limit = StartLimitMs();
    while (waited.elapsed() < limit) {
        if (reported())
            return true;
        if (!Alive(pid))
            return reported(); // it may have reported just before it ended
        QThread::msleep(20);
    }
    return reported();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (app.arguments().value(1) != QLatin1String("-d"))
        return 2;
    // No lowered priority: it sleeps while it waits, and the client it starts would inherit it.

    const QDir folder(QCoreApplication::applicationDirPath());
    const QString client = folder.filePath(QStringLiteral("vemo"));
    const QString fresh = folder.filePath(QStringLiteral("update/vemo"));
    const QString previous = folder.filePath(QStringLiteral("vemo.previous"));
    const QString marker = folder.filePath(QStringLiteral("vemo.started"));
    const QString signature = folder.filePath(QStringLiteral("vemo.sig"));
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
    QFile::remove(marker);
    qint64 pid = 0;
    if (QProcess::startDetached(client, {}, folder.path(), &pid) &&
        ReportsHealthyStart(pid, marker)) {
        QFile::remove(previous);
        QFile::remove(signature);
        QFile::rename(fresh + QStringLiteral(".sig"), signature);
        QFile::remove(marker);
        return 0;
    }
    // The new client does not run: the old one comes back.
    if (pid > 0 && Alive(pid))
        ::kill(pid_t(pid), SIGKILL);
    QFile::remove(marker);
    QFile::remove(fresh + QStringLiteral(".sig"));
    QFile::remove(client);
    QFile::rename(previous, client);
    QProcess::startDetached(client, {}, folder.path());
    return 1;
}
