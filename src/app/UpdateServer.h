#pragma once
// The update server as the client finds and asks it: its address from the discovery endpoints
// that cfg.ini names ([UPDATE] DISCOVER1 to DISCOVER4, asked in that order; SCHEME http, the
// default, or https), short plain-text answers, and files downloaded whole.
#include <QByteArray>
#include <QString>

struct UpdateServer {
    QString scheme = QStringLiteral("http");
    QString address; // host[:port][/path], as the discovery endpoint answered it
    bool IsEmpty() const { return address.isEmpty(); }
    // scheme://address + pathAndQuery
    QString Url(const QString& pathAndQuery) const;
};

// Asks the discovery endpoints of cfg.ini in order; the first answer of at most 20 characters
// (line breaks removed) is the address. No endpoint set, or none answers: an empty address.
UpdateServer FindUpdateServer(const QString& cfgPath);

// A plain-text answer of at most 20 characters, surrounding blanks and line breaks removed; a
// longer one (an error page) counts as none.
QString ShortAnswer(const QString& url);
// The same from the answer's bytes as they came.
QString ShortAnswerOf(const QByteArray& body);

// The body of a 200 answer of at most `maxBytes` (version answers, signatures); false otherwise.
bool FetchSmall(const QString& url, QByteArray& body, qint64 maxBytes = 64 * 1024);

// How a file download may take its time: no bound on the whole, since a large client on a slow
// link takes as long as it takes, but bounds on connecting and on silence.
struct DownloadLimits {
    int connectTimeoutMs = 10000;
    // No byte for this long once connected: the download is abandoned.
    int stallSeconds = 60;
    // A transfer that broke off after bringing new bytes is taken up again this many times, from
    // where it stopped when the server takes Range requests, else from the start.
    int resumes = 5;
};
// The defaults with cfg.ini [UPDATE] STALL_SECONDS when that is a positive number.
DownloadLimits DownloadLimitsOf(const QString& cfgPath);

struct DownloadResult {
    bool ok = false;
    QString error;     // why not, for the update log
    qint64 size = 0;   // bytes written
    QByteArray sha256; // of exactly those bytes, as written
};

// GET of `url` into `path` (created or replaced only once every byte the server announced has
// arrived with a 200, or 206 answers to Range requests); anything else leaves the file alone.
DownloadResult DownloadToFile(const QString& url, const QString& path,
                              const DownloadLimits& limits = {});
