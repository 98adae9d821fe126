#include "net/PictureDownloads.h"

#include "net/HttpClient.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

PictureDownloads& PictureDownloads::Instance() {
    static PictureDownloads* instance = [] {
        auto* downloads = new PictureDownloads;
        // Signals must be delivered on the interface thread, whoever asked first.
        if (QCoreApplication* app = QCoreApplication::instance())
            downloads->moveToThread(app->thread());
        return downloads;
    }();
    return *instance;
}

PictureDownloads::PictureDownloads() {
    pool_.setMaxThreadCount(2);
}

QString PictureDownloads::CachePath(const QString& url, const QString& tempFolder) {
    // The address's hash names the file; its suffix stays, so the image reader sees the format.
    const QByteArray hash =
        QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Sha1).toHex().left(20);
    QString suffix = QFileInfo(QUrl(url, QUrl::TolerantMode).path()).suffix().toLower();
    if (suffix.isEmpty() || suffix.size() > 5)
        suffix = QStringLiteral("img");
    return tempFolder + QStringLiteral("pic_") + QString::fromLatin1(hash) + u'.' + suffix;
}

QString PictureDownloads::LocalFile(const QString& url, const QString& tempFolder) {
    const QString path = CachePath(url, tempFolder);
    {
        std::lock_guard lock(mutex_);
        const auto known = states_.constFind(url);
        if (known != states_.cend()) {
            return *known == State::Arrived ? path : QString();
        }
        // From an earlier session.
        if (QFileInfo(path).isFile() && QFileInfo(path).size() > 0) {
            states_.insert(url, State::Arrived);
            return path;
        }
        states_.insert(url, State::Fetching);
    }
    pool_.start([this, url, path] { Fetch(url, path); });
    return {};
}

void PictureDownloads::Fetch(const QString& url, const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Written under a temporary name and renamed: a reader never sees half a picture.
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        HttpTransfer request;
        request.url = url;
        request.bodySink = &file;
        const HttpResponse response = PerformHttp(request);
        ok = response.completed && response.status == 200 && file.size() > 0;
    }
    ok = ok && file.commit();
    if (!ok)
        file.cancelWriting();
    {
        std::lock_guard lock(mutex_);
        states_.insert(url, ok ? State::Arrived : State::Failed);
    }
    if (ok)
        Q_EMIT arrived(url);
}

void PictureDownloads::WaitForDownloads() {
    pool_.waitForDone();
}
