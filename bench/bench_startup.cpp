// Start-up: the client from exec until its login dialog is shown (offscreen), against a plain-Qt
// program showing the same kinds of widgets with the user list of the same account set, and
// against the smallest Qt program that shows one dialog. All end on VEMO_EXIT_WHEN_SHOWN right
// after the first show, so each iteration is one whole process run, timed from spawn to exit.
#include "BenchSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace {

struct Fixture {
    QTemporaryDir exeFolder;
    QString client;
    QString accountSet;
    QString error;
};

// An exe folder as scripts/run.sh prepares one: the client, the demo account set (so the login
// dialog lists more than one user) and cfg.ini. The client is copied, as it takes its folder
// from its own resolved path.
Fixture& TheFixture() {
    static Fixture* fixture = [] {
        auto* f = new Fixture;
        const QString folder = f->exeFolder.path() + QLatin1Char('/');
        f->client = folder + QStringLiteral("vemo");
        f->accountSet = folder + QStringLiteral("account.dat");
        if (!QFile::copy(QStringLiteral(VEMO_CLIENT_PATH), f->client)) {
            f->error = QStringLiteral("cannot copy the client");
            return f;
        }
        const QString admin = QStringLiteral(VEMO_ADMIN_PATH);
        QProcess init;
        init.start(admin, {"init", "--sqlite", f->accountSet, "--demo"});
        QProcess cfg;
        if (!init.waitForFinished(60000) || init.exitCode() != 0) {
            f->error = QString::fromLocal8Bit(init.readAllStandardError());
            return f;
        }
        cfg.start(admin, {"cfg", "set-connection", "--dir", folder, "--sqlite", f->accountSet});
        if (!cfg.waitForFinished(60000) || cfg.exitCode() != 0)
            f->error = QString::fromLocal8Bit(cfg.readAllStandardError());
        return f;
    }();
    return *fixture;
}

// The same exe folder with an update server on loopback that the client's update worker finds
// and asks while the login dialog comes up (it announces nothing newer).
struct ServedFixture {
    Fixture client;
    QTemporaryDir served;
    QProcess server;
};

ServedFixture& TheServedFixture() {
    static ServedFixture* fixture = [] {
        auto* f = new ServedFixture;
        const QString folder = f->client.exeFolder.path() + QLatin1Char('/');
        f->client.client = folder + QStringLiteral("vemo");
        const QString accountSet = folder + QStringLiteral("account.dat");
        QFile version(f->served.filePath(QStringLiteral("client-version.txt")));
        if (!QFile::copy(QStringLiteral(VEMO_CLIENT_PATH), f->client.client) ||
            !version.open(QIODevice::WriteOnly)) {
            f->client.error = QStringLiteral("cannot prepare the folders");
            return f;
        }
        version.write(VEMO_VERSION_TEXT);
        version.close();
        const int port = bench::StartUpdateServer(f->server, f->served.path(), f->client.error);
        if (port == 0)
            return f;
        const QString admin = QStringLiteral(VEMO_ADMIN_PATH);
        for (const QStringList& args :
             {QStringList{"init", "--sqlite", accountSet},
              QStringList{"cfg", "set-connection", "--dir", folder, "--sqlite", accountSet},
              QStringList{"cfg", "set", "--dir", folder, "UPDATE", "DISCOVER1",
                          QStringLiteral("http://127.0.0.1:%1/readip.aspx").arg(port)}}) {
            QProcess step;
            step.start(admin, args);
            if (!step.waitForFinished(60000) || step.exitCode() != 0) {
                f->client.error = QString::fromLocal8Bit(step.readAllStandardError());
                return f;
            }
        }
        return f;
    }();
    return *fixture;
}

// Runs the program to its end; false unless it exits with 0.
bool RunOnce(const QByteArray& program, const std::vector<char*>& argv,
             const std::vector<char*>& env) {
    pid_t pid = 0;
    if (posix_spawn(&pid, program.constData(), nullptr, nullptr, argv.data(), env.data()) != 0)
        return false;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The shared libraries the client loads at start, as ldd lists them.
QByteArray ClientLibraries() {
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {QStringLiteral(VEMO_CLIENT_PATH)});
    ldd.waitForFinished(30000);
    QByteArrayList paths;
    for (const QByteArray& line : ldd.readAllStandardOutput().split('\n')) {
        const qsizetype arrow = line.indexOf("=> /");
        if (arrow >= 0)
            paths.append(line.mid(arrow + 3).split(' ').value(0));
    }
    return paths.join(':');
}

void Measure(benchmark::State& state, const QString& program, const QByteArrayList& arguments,
             const QByteArray& preload = {}) {
    QList<QByteArray> variables;
    for (char** e = environ; *e; ++e) {
        const QByteArray v(*e);
        if (!v.startsWith("QT_QPA_PLATFORM=") && !v.startsWith("VEMO_EXIT_WHEN_SHOWN=") &&
            !v.startsWith("LD_PRELOAD="))
            variables.append(v);
    }
    variables.append("QT_QPA_PLATFORM=offscreen");
    variables.append("VEMO_EXIT_WHEN_SHOWN=1");
    if (!preload.isEmpty())
        variables.append("LD_PRELOAD=" + preload);
    std::vector<char*> env;
    for (QByteArray& v : variables)
        env.push_back(v.data());
    env.push_back(nullptr);
    QByteArray path = QFile::encodeName(program);
    QByteArrayList args = arguments;
    std::vector<char*> argv{path.data()};
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool ok = RunOnce(path, argv, env);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!ok) {
            state.SkipWithError("the program did not exit with 0 after showing its dialog");
            break;
        }
    }
}

void BM_Startup(benchmark::State& state) {
    Fixture& f = TheFixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    Measure(state, f.client, {});
}

void BM_Startup_UpdateServer(benchmark::State& state) {
    ServedFixture& f = TheServedFixture();
    if (!f.client.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.client.error));
        return;
    }
    Measure(state, f.client.client, {});
}

void BM_Startup_Reference(benchmark::State& state) {
    Measure(state, QStringLiteral(VEMO_STARTUP_REFERENCE_PATH), {});
}

// The plain-Qt login dialog on the same account set. It must list the demo's users, read
// through its own Qt SQL connection, or its time would be that of a dialog with an empty list.
void BM_Startup_LoginReference(benchmark::State& state) {
    Fixture& f = TheFixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    const QString reference = QStringLiteral(VEMO_LOGIN_REFERENCE_PATH);
    QProcess check;
    check.start(reference, {f.accountSet, QStringLiteral("--list-users")});
    const bool finished = check.waitForFinished(30000) && check.exitCode() == 0;
    const QByteArrayList users = check.readAllStandardOutput().trimmed().split('\n');
    if (!finished || users.size() < 2 || !users.contains("admin")) {
        state.SkipWithError("the reference did not read the account set's users");
        return;
    }
    Measure(state, reference, {QFile::encodeName(f.accountSet)});
}

// Two parts of the difference, measured on their own: the reference's dialog with a line of
// text (the font system starts), and the reference with the client's libraries loaded.
void BM_Startup_LabelReference(benchmark::State& state) {
    Measure(state, QStringLiteral(VEMO_STARTUP_REFERENCE_PATH), {"--label"});
}

void BM_Startup_LibrariesReference(benchmark::State& state) {
    static const QByteArray libraries = ClientLibraries();
    Measure(state, QStringLiteral(VEMO_STARTUP_REFERENCE_PATH), {}, libraries);
}

} // namespace

BENCHMARK(BM_Startup)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Startup_UpdateServer)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Startup_LoginReference)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Startup_Reference)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Startup_LabelReference)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Startup_LibrariesReference)->UseManualTime()->Unit(benchmark::kMillisecond);
