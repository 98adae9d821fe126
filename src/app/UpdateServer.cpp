#include "app/UpdateServer.h"

#include "data/CfgFile.h"
#include "net/HttpClient.h"
#include "platform/Signing.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <functional>
#include <future>

QString UpdateServer::Url(const QString& pathAndQuery) const {
    return scheme + QStringLiteral("://") + address + pathAndQuery;
}

QString ShortAnswerOf(const QByteArray& body) {
    // A line break after the answer is the server's file, not part of the version.
    const QString answer = QString::fromUtf8(body).trimmed();
    return answer.size() > 20 ? QString() : answer;
}

QString ShortAnswer(const QString& url) {
    return ShortAnswerOf(HttpGetText(url).toUtf8());
}

bool FetchSmall(const QString& url, QByteArray& body, qint64 maxBytes) {
    HttpTransfer request;
    request.url = url;
    request.maxBodyBytes = maxBytes;
    const HttpResponse response = PerformHttp(request);
    if (!response.completed || response.status != 200)
        return false;
    body = response.body;
    return true;
}

UpdateServer FindUpdateServer(const QString& cfgPath) {
    UpdateServer server;
    const QString scheme = ReadCfg(cfgPath, QStringLiteral("UPDATE"), QStringLiteral("SCHEME"));
    if (scheme == QLatin1String("https"))
        server.scheme = scheme;
    for (int i = 1; i <= 4; ++i) {
        const QString endpoint =
            ReadCfg(cfgPath, QStringLiteral("UPDATE"), QStringLiteral("DISCOVER%1").arg(i));
        if (endpoint.isEmpty())
            continue;
        const QString answer = ShortAnswer(endpoint);
        if (!answer.isEmpty()) {
            server.address = QString(answer).remove(QStringLiteral("\r\n")).trimmed();
            break;
        }
    }
    return server;
}

DownloadLimits DownloadLimitsOf(const QString& cfgPath) {
    DownloadLimits limits;
    bool number = false;
    const int stall =
        ReadCfg(cfgPath, QStringLiteral("UPDATE"), QStringLiteral("STALL_SECONDS")).toInt(&number);
    if (number && stall > 0)
        limits.stallSeconds = stall;
    return limits;
}

namespace {

// The SHA-256 of the first `size` bytes of `written`; empty when it cannot be read whole.
QByteArray DigestOf(QFile& written, qint64 size, QString& error) {
    platform::Sha256 digest;
    if (!digest.IsValid()) {
        error = digest.Error();
        return {};
    }
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (qint64 left = size; left > 0;) {
        const qint64 got = written.read(block.data(), std::min(left, qint64(block.size())));
        if (got <= 0) {
            error = written.errorString();
            return {};
        }
        digest.Add(block.constData(), qsizetype(got));
        left -= got;
    }
    return digest.Finish();
}

} // namespace

DownloadResult DownloadToFile(const QString& url, const QString& path,
                              const DownloadLimits& limits) {
    DownloadResult result;
    const QString name = QFileInfo(path).fileName();
    // Without libcrypto the download could not be checked: not worth fetching.
    if (const platform::Sha256 probe; !probe.IsValid()) {
        result.error = probe.Error();
        return result;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = QStringLiteral("无法写入 %1：%2").arg(path, file.errorString());
        return result;
    }
    qint64 announced = -1; // the whole file's size, as the server said it
    bool ranges = true;    // until the server shows that it does not take them
    auto startOver = [&] {
        file.seek(0);
        file.resize(0);
    };
    for (int resumes = 0;;) {
        HttpTransfer request;
        request.url = url;
        request.bodySink = &file;
        request.failOnHttpError = true;
        request.connectTimeoutMs = limits.connectTimeoutMs;
        request.totalTimeoutMs = 0;
        request.stallTimeoutMs = limits.stallSeconds * 1000;
        request.resumeFrom = ranges ? file.pos() : 0;
        const qint64 before = file.pos();
        const HttpResponse response = PerformHttp(request);
        if (response.contentLength >= 0 && (response.status == 200 || response.status == 206))
            announced = request.resumeFrom + response.contentLength;
        // A 200 to a Range request only completes when nothing was missing.
        if (response.completed && (response.status == 200 || response.status == 206))
            break;
        if (response.rangeRefused && resumes < limits.resumes) {
            ++resumes;
            ranges = false;
            startOver();
            continue;
        }
        if (response.stalled) {
            result.error = QStringLiteral("%1：%2 秒没有收到数据，已放弃下载（已收到 %3 字节）")
                               .arg(name)
                               .arg(limits.stallSeconds)
                               .arg(file.pos());
            file.cancelWriting();
            return result;
        }
        // Broken off after bringing something new: go on from where it stopped.
        const bool broken = !response.completed && response.failure == HttpFailure::Transfer &&
                            response.status < 300 && file.pos() > before;
        if (broken && resumes < limits.resumes) {
            ++resumes;
            if (!ranges)
                startOver();
            continue;
        }
        if (response.completed || response.status >= 300)
            result.error = QStringLiteral("%1：服务器回答 %2").arg(name).arg(response.status);
        else
            result.error = QStringLiteral("%1：%2").arg(name, response.errorText);
        file.cancelWriting();
        return result;
    }
    const qint64 written = file.pos();
    if (announced >= 0 && written != announced) {
        result.error = QStringLiteral("%1：收到 %2 字节，服务器声明 %3 字节")
                           .arg(name)
                           .arg(written)
                           .arg(announced);
        file.cancelWriting();
        return result;
    }
    if (!file.flush()) {
        result.error = QStringLiteral("无法写入 %1：%2").arg(path, file.errorString());
        file.cancelWriting();
        return result;
    }
    // The digest is taken from what was written, on a thread of its own while the commit waits
    // for the disk: the wait is longer than the digest takes, so checking the signature of a large
    // client adds next to nothing to its install. The file is read through a descriptor of its
    // own, opened here since the commit closes the writer's.
    QString digestError;
    QFile reader(QStringLiteral("/proc/self/fd/%1").arg(file.handle()));
    if (!reader.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("无法读回 %1：%2").arg(path, reader.errorString());
        file.cancelWriting();
        return result;
    }
    auto digest =
        std::async(std::launch::async, DigestOf, std::ref(reader), written, std::ref(digestError));
    const bool committed = file.commit();
    result.sha256 = digest.get();
    if (!committed) {
        result.error = QStringLiteral("无法写入 %1：%2").arg(path, file.errorString());
        return result;
    }
    if (result.sha256.isEmpty()) {
        QFile::remove(path);
        result.error = QStringLiteral("无法读回 %1：%2").arg(path, digestError);
        return result;
    }
    result.ok = true;
    result.size = written;
    return result;
}
