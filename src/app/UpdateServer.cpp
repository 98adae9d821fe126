#include "app/UpdateServer.h"

#include "data/CfgFile.h"
#include "net/HttpClient.h"
#include "platform/Signing.h"

#include <QFileInfo>
#include <QSaveFile>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

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

// The SHA-256 of the bytes written, taken on a thread of its own as they arrive: checking the
// signature of a large client then adds next to nothing to its download on a second core.
class BackgroundDigest {
public:
    BackgroundDigest() { pending_.reserve(kBlock); }
    ~BackgroundDigest() { Finish(); }
    BackgroundDigest(const BackgroundDigest&) = delete;
    BackgroundDigest& operator=(const BackgroundDigest&) = delete;

    bool IsValid() const { return digest_.IsValid(); }
    const QString& Error() const { return digest_.Error(); }
    void Add(const char* data, qint64 size) {
        pending_.append(data, qsizetype(size));
        if (pending_.size() >= kBlock)
            Hand();
    }
    // The digest of everything added; waits for the thread to take in the rest.
    QByteArray Finish() {
        if (thread_.joinable()) {
            Hand();
            {
                const std::lock_guard lock(mutex_);
                done_ = true;
            }
            wake_.notify_one();
            thread_.join();
            result_ = digest_.Finish();
        }
        return result_;
    }

private:
    static constexpr qsizetype kBlock = 256 * 1024;

    void Hand() {
        if (pending_.isEmpty())
            return;
        {
            const std::lock_guard lock(mutex_);
            blocks_.push_back(std::move(pending_));
        }
        wake_.notify_one();
        pending_ = QByteArray();
        pending_.reserve(kBlock);
    }
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return done_ || !blocks_.empty(); });
            if (blocks_.empty())
                return; // done, and all taken in
            const QByteArray block = std::move(blocks_.front());
            blocks_.pop_front();
            lock.unlock();
            digest_.Add(block);
            lock.lock();
        }
    }

    platform::Sha256 digest_;
    QByteArray pending_; // the writer's, handed over a block at a time
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<QByteArray> blocks_;
    bool done_ = false;
    QByteArray result_;
    std::thread thread_{[this] { Run(); }}; // last: starts once the rest is there
};

// Writes what arrives into the file and has its digest taken on the way.
class DigestingSink : public QIODevice {
public:
    explicit DigestingSink(QFileDevice& file) : file_(file) { open(QIODevice::WriteOnly); }
    std::unique_ptr<BackgroundDigest> digest = std::make_unique<BackgroundDigest>();
    qint64 written = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (file_.write(data, size) != size)
            return -1;
        digest->Add(data, size);
        written += size;
        return size;
    }

private:
    QFileDevice& file_;
};

} // namespace

DownloadResult DownloadToFile(const QString& url, const QString& path,
                              const DownloadLimits& limits) {
    DownloadResult result;
    const QString name = QFileInfo(path).fileName();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = QStringLiteral("无法写入 %1：%2").arg(path, file.errorString());
        return result;
    }
    DigestingSink sink(file);
    if (!sink.digest->IsValid()) {
        result.error = sink.digest->Error();
        return result;
    }
    qint64 announced = -1; // the whole file's size, as the server said it
    bool ranges = true;    // until the server shows that it does not take them
    auto startOver = [&] {
        file.seek(0);
        file.resize(0);
        sink.digest = std::make_unique<BackgroundDigest>();
        sink.written = 0;
    };
    for (int resumes = 0;;) {
        HttpTransfer request;
        request.url = url;
        request.bodySink = &sink;
        request.failOnHttpError = true;
        request.connectTimeoutMs = limits.connectTimeoutMs;
        request.totalTimeoutMs = 0;
        request.stallTimeoutMs = limits.stallSeconds * 1000;
        request.resumeFrom = ranges ? sink.written : 0;
        const qint64 before = sink.written;
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
                               .arg(sink.written);
            file.cancelWriting();
            return result;
        }
        // Broken off after bringing something new: go on from where it stopped.
        const bool broken = !response.completed && response.failure == HttpFailure::Transfer &&
                            response.status < 300 && sink.written > before;
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
    if (announced >= 0 && sink.written != announced) {
        result.error = QStringLiteral("%1：收到 %2 字节，服务器声明 %3 字节")
                           .arg(name)
                           .arg(sink.written)
                           .arg(announced);
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        result.error = QStringLiteral("无法写入 %1：%2").arg(path, file.errorString());
        return result;
    }
    result.ok = true;
    result.size = sink.written;
    result.sha256 = sink.digest->Finish();
    return result;
}
