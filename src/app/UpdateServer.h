#pragma once
// The update server as the client finds and asks it: its address from the discovery endpoints
// that cfg.ini names ([UPDATE] DISCOVER1 to DISCOVER4, asked in that order; SCHEME http, the
// default, or https), short plain-text answers, and files downloaded whole.
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

// GET of `url` into `path` (created or replaced) when the answer is 200; anything else leaves
// the file alone and returns false.
bool DownloadToFile(const QString& url, const QString& path);
