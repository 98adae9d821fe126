#pragma once

// The client's HTTP layer: one synchronous request function on libcurl, shared by the simple
// text fetch below, the web-page commands and downloads. Every call uses its own handle, so
// any thread may call it. Proxies come from the usual environment variables (http_proxy,
// https_proxy, no_proxy).

#include <QByteArray>
#include <QList>
#include <QString>

class QIODevice;

struct HttpRequest {
    QString url;
    // POST sends `body` as it is (an empty body sends nothing); otherwise GET.
    bool post = false;
    QByteArray body;
    // Whole header lines, "Name: value".
    QList<QByteArray> headers;
    // Bounds so that no caller, on any thread, waits forever on a silent server.
    int connectTimeoutMs = 10000;
    int totalTimeoutMs = 30000;
    // Certificate and host-name checks for https.
    bool verifyTls = true;
    // When set, the response body streams into this device (downloads) instead of
    // HttpResponse::body; a failing write aborts the transfer.
    QIODevice* bodySink = nullptr;
};

enum class HttpFailure {
    None,
    InvalidUrl, // not an http or https address
    Connect,    // host not found or connection refused
    Transfer,   // anything after connecting: time-out, TLS, broken connection, sink write
};

struct HttpResponse {
    // A complete response arrived, whatever its status.
    bool completed = false;
    int status = 0;
    QByteArray body;
    HttpFailure failure = HttpFailure::None;
    QString errorText;
};

// Performs one request, following redirects.
HttpResponse PerformHttp(const HttpRequest& request);

// GET of a small text (connection service, update server): the body of a 200 response
// decoded as UTF-8, invalid bytes as replacement characters; empty text on any failure or
// other status.
QString HttpGetText(const QString& url);
