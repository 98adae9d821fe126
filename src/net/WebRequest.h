#pragma once
// The request of the web-page commands: a GET or POST whose outcome is the response text or a
// status message for the user, never an exception.
#include "net/HttpClient.h"

#include <QString>
#include <QStringList>

// How long a request may take. The defaults are those of a single request; a form's own
// session answers sooner, since its forms talk to one known server.
struct WebTimeouts {
    int connectMs = 10000;
    int stallMs = 0; // longest silence once connected; 0: only the total bounds it
    int totalMs = 60000;
    int connectRetries = 0;

    // Connect 5 s, a stall of 7 s, two further connection attempts.
    static WebTimeouts FormSession() { return {5000, 7000, 60000, 2}; }
};

// Certificate checks for https: on, with the system's authorities, unless cfg.ini names a
// company's own authority file or hosts that are trusted without a check.
struct WebTlsSettings {
    QString extraCaFile;
    QStringList uncheckedHosts; // host names, letter case ignored

    bool ChecksHost(const QString& host) const;
};

// The most of a web page kept in memory: a page is read whole and shown in a control, so a
// larger one is refused rather than allowed to exhaust memory.
inline constexpr qint64 kWebPageLimit = 32 * 1024 * 1024;

struct WebRequestSettings {
    // The form's session, whose connections may outlive the request; none: one for this request.
    HttpSession* session = nullptr;
    QString url;
    QString body; // sent as UTF-8 bytes; empty sends nothing
    // The response's charset when neither the server's Content-Type nor a meta element of the
    // page names one: "GB2312" decodes from code page 936, anything else as UTF-8.
    QString charset;
    bool post = false;
    bool keepConnection = false;
    WebTimeouts timeouts;
    WebTlsSettings tls;
    qint64 maxResponseBytes = kWebPageLimit;

    QString response; // out: the body of a 2xx answer
    QString status;   // out: "提交成功完成！" or why the request failed
};

// Performs the request; false with `status` saying why.
bool HttpRequest(WebRequestSettings& settings);
