#pragma once

// The client's HTTP layer: one synchronous request function on libcurl, shared by the simple
// text fetch below, the web-page commands and downloads. Every call uses its own handle, so
// any thread may call it. Proxies come from the usual environment variables (http_proxy,
// https_proxy, no_proxy).

#include <QByteArray>
#include <QList>
#include <QString>

#include <mutex>

class QIODevice;
class HttpSession;

struct HttpTransfer {
    QString url;
    // POST sends `body` as it is (an empty body sends nothing); otherwise GET.
    bool post = false;
    QByteArray body;
    // Whole header lines, "Name: value".
    QList<QByteArray> headers;
    // Bounds so that no caller, on any thread, waits forever on a silent server.
    int connectTimeoutMs = 10000;
    int totalTimeoutMs = 30000;
    // Longest stall of the transfer once connected (no byte sent or received); 0: none.
    // Counted in whole seconds, at least one. 0 for totalTimeoutMs means no total bound.
    int stallTimeoutMs = 0;
    // Further attempts when the server cannot be reached.
    int connectRetries = 0;
    // Certificate and host-name checks for https.
    bool verifyTls = true;
    // A PEM file of further certificate authorities trusted besides the system's (a company's
    // own); empty for the system's alone.
    QString extraCaFile;
    // A session whose connections outlive the request; none: a handle of its own.
    HttpSession* session = nullptr;
    // With a session: whether the connection may stay open for its next request.
    bool keepConnection = true;
    // When set, the response body streams into this device (downloads) instead of
    // HttpResponse::body; a failing write aborts the transfer.
    QIODevice* bodySink = nullptr;
    // Asks for the body from this byte on (a Range request), to go on with a download that broke
    // off. A server that answers with the whole body instead fails it (HttpResponse::rangeRefused)
    // before any byte reaches the sink.
    qint64 resumeFrom = 0;
    // A status of 400 or more fails the transfer before any of its body reaches the sink, so an
    // error page never lands in a file.
    bool failOnHttpError = false;
    // Most bytes HttpResponse::body may hold; a longer body aborts the transfer (TooLarge), so a
    // huge page cannot exhaust memory. 0: no bound. A bodySink is not bounded.
    qint64 maxBodyBytes = 0;
};

enum class HttpFailure {
    None,
    InvalidUrl, // not an http or https address
    NoRequest,  // libcurl cannot be loaded or give a handle
    Connect,    // host not found or connection refused
    Transfer,   // anything after connecting: time-out, TLS, broken connection, sink write
    TooLarge,   // the body went past maxBodyBytes
};

struct HttpResponse {
    // A complete response arrived, whatever its status.
    bool completed = false;
    int status = 0;
    // The body's length as the Content-Length header announced it (of a Range answer: the rest);
    // -1 when the server did not say.
    qint64 contentLength = -1;
    QByteArray contentType; // the Content-Type header's value; empty when the server sent none
    QByteArray body;
    HttpFailure failure = HttpFailure::None;
    int errorCode = 0; // libcurl's error number of a failure
    QString errorText;
    // A Transfer failure because no byte came for stallTimeoutMs once connected.
    bool stalled = false;
    // A Transfer failure because the server ignored resumeFrom and sent the whole body.
    bool rangeRefused = false;
};

// A handle kept between requests, so that a connection to a server can serve the next request
// too (a form's own session). Requests through one session take turns. Destroying or closing it
// closes the connections it keeps.
class HttpSession {
public:
    HttpSession() = default;
    ~HttpSession();
    HttpSession(const HttpSession&) = delete;
    HttpSession& operator=(const HttpSession&) = delete;
    void Close();

private:
    friend HttpResponse PerformHttp(const HttpTransfer& request);
    std::mutex mutex_;
    void* handle_ = nullptr; // CURL*, made by the first request
};

// Performs one request, following redirects. A GET with a body sends it too.
HttpResponse PerformHttp(const HttpTransfer& request);

// GET of a small text (connection service, update server): the body of a 200 response
// decoded as UTF-8, invalid bytes as replacement characters; empty text on any failure or
// other status.
QString HttpGetText(const QString& url);
