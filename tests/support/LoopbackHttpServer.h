#pragma once

// A real HTTP/1.1 server on 127.0.0.1 that stands in for web pages and the update server in
// tests. It listens on an ephemeral port and serves each connection on its own thread, so a
// client that blocks the test thread still gets its answer. Routes are set by the test;
// every request received is recorded for later assertions. Request bodies are read by their
// Content-Length.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

class LoopbackHttpServer {
public:
    using HeaderList = QList<QPair<QByteArray, QByteArray>>;

    struct Route {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/plain; charset=utf-8"; // empty: no Content-Type
        int delayMs = 0;                                      // wait before answering
        HeaderList headers;                                   // extra, e.g. Location
        // A download on a bad link. The body goes out at this pace (0: at once); "Range:
        // bytes=N-" gets 206 and the rest when `ranges` is set. The first `breaks` answers
        // that reach body byte `breakAt` (counted in the whole body) close the connection
        // there, or with `stall` send nothing more until the client gives up.
        int bytesPerSecond = 0;
        bool ranges = false;
        qint64 breakAt = -1;
        int breaks = 1;
        bool stall = false;
    };

    struct Request {
        QByteArray method;
        QByteArray target; // path and query exactly as sent
        HeaderList headers;
        QByteArray body;
        // Value of the first header with that name (case-insensitive); empty when absent.
        QByteArray header(const QByteArray& name) const;
    };

    // Also makes sure that a proxy set in the environment does not capture loopback requests.
    LoopbackHttpServer();
    // Stops accepting, wakes delayed answers and joins every thread.
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    // "http://127.0.0.1:PORT", without a trailing slash.
    QString baseUrl() const;
    quint16 port() const { return port_; }

    // A target with a query matches only that query; one without matches its path with any
    // query; a target with "*" matches any text in its place ("/v.aspx*&sig=1"), after the
    // exact targets and before the paths. Unknown targets get 404.
    void setRoute(const QString& target, Route route);
    void setRoute(const QString& target, int status, const QByteArray& body,
                  const QByteArray& contentType = "text/plain; charset=utf-8", int delayMs = 0);
    void setRedirect(const QString& target, const QString& location, int status = 302);

    QList<Request> requests() const;
    void clearRequests();
    // Connections accepted so far: requests over a kept connection share one.
    int connectionCount() const { return accepted_; }

private:
    void acceptLoop();
    void serveConnection(int fd);
    bool serveRequest(int fd, QByteArray& buffer);
    bool readMore(int fd, QByteArray& buffer);
    Route routeFor(const QByteArray& target, QByteArray& key) const;
    bool sendBody(int fd, const QByteArray& key, const Route& route, const QByteArray& body,
                  qint64 offset);

    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1}; // written once at shutdown; every poll watches its read end
    quint16 port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    mutable std::mutex mutex_;
    std::condition_variable stopWake_;
    std::map<QByteArray, Route> routes_;
    std::map<QByteArray, int> breaksDone_; // per route
    QList<Request> requests_;
    std::vector<std::thread> connections_;
    std::thread acceptThread_;
};
