#pragma once

// Pictures that forms name by an http address (background items, image buttons, label items).
// Painting never waits on the network: the first ask starts a download in the background and
// answers "not yet"; when the file has arrived under the temp folder, `arrived` is emitted on
// the interface thread and the asker paints again. Each address is fetched at most once per
// session, whether it arrives or fails; a file already in the temp folder is used as it is.

#include <QHash>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <mutex>

class PictureDownloads : public QObject {
    Q_OBJECT
public:
    static PictureDownloads& Instance();

    // The local file of the picture at `url` when it is there; otherwise empty, after starting
    // its download into `tempFolder` (which ends with "/"). Any thread may ask.
    QString LocalFile(const QString& url, const QString& tempFolder);

    // Where the picture at `url` is kept in `tempFolder`.
    static QString CachePath(const QString& url, const QString& tempFolder);

    // Waits for the downloads in flight (tests, exit).
    void WaitForDownloads();

Q_SIGNALS:
    void arrived(const QString& url);

private:
    PictureDownloads();
    void Fetch(const QString& url, const QString& path);

    enum class State { Fetching, Arrived, Failed };
    std::mutex mutex_;
    QHash<QString, State> states_;
    // Few threads: pictures are small, and a form full of them must not flood the server.
    QThreadPool pool_;
};
