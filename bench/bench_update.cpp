// Installing a new client of 50 MiB as the update worker and `up` do it: downloaded from the
// update server of tools/update-server on loopback into update/vemo, handed to `up`, which puts
// it in place, starts it and waits for its healthy-start report. Ours checks the publisher's
// signature on the way (the signature fetched, the digest of the written file taken while it is
// flushed to disk, Ed25519); the reference installs the same bytes unchecked, as before
// signatures. The new client is a script that reports at once, so the install is as short as it
// can be and the check weighs as much as it can. Also measured alone: the same check as a separate pass over the file.
#include "BenchSupport.h"
#include "app/UpdateServer.h"
#include "app/UpdateSignature.h"
#include "app/UpdateTrust.h"
#include "data/CfgFile.h"
#include "net/HttpClient.h"
#include "platform/Signing.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

struct Fixture {
    QTemporaryDir served;
    QTemporaryDir exe;
    QProcess server;
    UpdateServer address;
    QByteArray client;
    QByteArray signature;
    QString error;
};

Fixture& TheFixture() {
    static Fixture* fixture = [] {
        auto* f = new Fixture;
        const QString folder = f->exe.path() + QLatin1Char('/');
        // A client of 50 MiB: a script that reports its start, then bytes it never reads.
        f->client = "#!/bin/sh\necho $$ > \"$(dirname \"$0\")/vemo.started\"\nexit 0\n";
        QByteArray padding(bench::Scaled(50 * 1024 * 1024, 1024 * 1024) - f->client.size(), '\0');
        quint32 x = 2463534242u;
        for (char& c : padding) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = char(x);
        }
        f->client += padding;
        QByteArray privateKey;
        QByteArray publicKey;
        platform::Sha256 digest;
        digest.Add(f->client);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const SignedFile file{"vemo", "9.0.0.0", now.addMSecs(-now.time().msec()), f->client.size(),
                              digest.Finish()};
        if (!platform::GenerateEd25519Key(privateKey, publicKey, f->error) ||
            (f->signature = SignFile(file, privateKey, f->error)).isEmpty())
            return f;
        QDir(f->served.path()).mkpath(QStringLiteral("files"));
        for (const auto& [name, bytes] :
             {std::pair{QStringLiteral("files/vemo"), f->client},
              std::pair{QStringLiteral("files/vemo.sig"), f->signature}}) {
            QFile out(f->served.filePath(name));
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) {
                f->error = QStringLiteral("cannot write ") + name;
                return f;
            }
        }
        WriteCfg(folder + QStringLiteral("cfg.ini"), QStringLiteral("UPDATE"),
                 QStringLiteral("PUBLIC_KEY"), QString::fromLatin1(publicKey.toBase64()));
        if (!QFile::copy(QStringLiteral(VEMO_UPDATER_PATH), folder + QStringLiteral("up"))) {
            f->error = QStringLiteral("cannot copy up");
            return f;
        }
        QDir(folder).mkpath(QStringLiteral("update"));
        const int port = bench::StartUpdateServer(f->server, f->served.path(), f->error);
        f->address.address = QStringLiteral("127.0.0.1:%1").arg(port);
        return f;
    }();
    return *fixture;
}

// The download as it was before signatures: the body straight into the file.
bool DownloadUnchecked(const QString& url, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    HttpTransfer request;
    request.url = url;
    request.bodySink = &file;
    request.totalTimeoutMs = 0;
    const HttpResponse response = PerformHttp(request);
    return response.completed && response.status == 200 && file.commit();
}

// `up` puts update/vemo in place and waits for its report; true when the new client stays.
bool RunUpdater(const QString& folder) {
    QProcess up;
    up.setWorkingDirectory(folder);
    up.start(folder + QStringLiteral("up"), {QStringLiteral("-d")});
    return up.waitForFinished(60000) && up.exitCode() == 0;
}

void Install(benchmark::State& state, bool checked) {
    Fixture& f = TheFixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    const QString folder = f.exe.path() + QLatin1Char('/');
    const QString target = folder + QStringLiteral("update/vemo");
    const QString request = QStringLiteral("/service/dl.aspx?id=vemo");
    const UpdateTrust trust(folder);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QString why;
        const bool downloaded =
            checked
                ? trust.SignedDownload(f.address, request, target, QStringLiteral("vemo"),
                                       QStringLiteral("9.0.0.0"), why) == UpdateTrust::Fetched::Ok
                : DownloadUnchecked(f.address.Url(request), target);
        const bool installed = downloaded && RunUpdater(folder);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!installed || QFile(folder + QStringLiteral("vemo")).size() != f.client.size()) {
            state.SkipWithError(qPrintable(QStringLiteral("not installed: ") + why));
            break;
        }
    }
}

void BM_ClientInstall(benchmark::State& state) {
    Install(state, true);
}

void BM_ClientInstall_Unchecked(benchmark::State& state) {
    Install(state, false);
}

// The check as a pass of its own over the file on disk, for scale.
void BM_ClientSignatureCheck(benchmark::State& state) {
    Fixture& f = TheFixture();
    if (!f.error.isEmpty()) {
        state.SkipWithError(qPrintable(f.error));
        return;
    }
    const QString path = f.served.filePath(QStringLiteral("files/vemo"));
    const UpdateTrust trust(f.exe.path() + QLatin1Char('/'));
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QFile file(path);
        const bool opened = file.open(QIODevice::ReadOnly);
        const uchar* bytes = opened ? file.map(0, file.size()) : nullptr;
        QString why;
        const bool ok =
            bytes &&
            trust.CheckBytes(QByteArray::fromRawData(reinterpret_cast<const char*>(bytes),
                                                     qsizetype(file.size())),
                             f.signature, QStringLiteral("vemo"), QStringLiteral("9.0.0.0"), why);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!ok) {
            state.SkipWithError(qPrintable(QStringLiteral("refused: ") + why));
            break;
        }
    }
}

} // namespace

// An install varies by a tenth from one to the next (the disk, the machine's other work): a few
// of them make each repetition.
BENCHMARK(BM_ClientInstall)
    ->UseManualTime()
    ->MinTime(bench::SmallRun() ? 0.001 : 3.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClientInstall_Unchecked)
    ->UseManualTime()
    ->MinTime(bench::SmallRun() ? 0.001 : 3.0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClientSignatureCheck)->UseManualTime()->Unit(benchmark::kMillisecond);
