#include "support/LoopbackHttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace {

QByteArray ReasonPhrase(int status) {
    static const std::map<int, QByteArray> phrases = {{100, "Continue"},
                                                      {200, "OK"},
                                                      {201, "Created"},
                                                      {204, "No Content"},
                                                      {301, "Moved Permanently"},
                                                      {302, "Found"},
                                                      {303, "See Other"},
                                                      {307, "Temporary Redirect"},
                                                      {308, "Permanent Redirect"},
                                                      {400, "Bad Request"},
                                                      {403, "Forbidden"},
                                                      {404, "Not Found"},
                                                      {500, "Internal Server Error"},
                                                      {503, "Service Unavailable"}};
    const auto found = phrases.find(status);
    return found != phrases.end() ? found->second : QByteArray("Status");
}

bool SendAll(int fd, const QByteArray& data) {
    qsizetype sent = 0;
    while (sent < data.size()) {
        const ssize_t n =
            ::send(fd, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// "*" in `pattern` stands for any text, everything else for itself.
bool MatchesWildcard(const QByteArray& pattern, const QByteArray& text) {
    const QList<QByteArray> parts = pattern.split('*');
    if (!text.startsWith(parts.front()) || !text.endsWith(parts.back()) ||
        text.size() < parts.front().size() + parts.back().size())
        return false;
    qsizetype at = parts.front().size();
    for (qsizetype i = 1; i + 1 < parts.size(); ++i) {
        at = text.indexOf(parts[i], at);
        if (at < 0 || at + parts[i].size() > text.size() - parts.back().size())
            return false;
        at += parts[i].size();
    }
    return true;
}

void KeepLoopbackOffProxies() {
    const char* proxyVariables[] = {"http_proxy",  "HTTP_PROXY", "https_proxy",
                                    "HTTPS_PROXY", "all_proxy",  "ALL_PROXY"};
    bool proxied = false;
    for (const char* name : proxyVariables)
        proxied = proxied || !qEnvironmentVariableIsEmpty(name);
    if (!proxied)
        return;
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        QByteArray list = qgetenv(name);
        if (!list.contains("127.0.0.1"))
            qputenv(name, list.isEmpty() ? QByteArray("127.0.0.1") : list + ",127.0.0.1");
    }
}

} // namespace

QByteArray LoopbackHttpServer::Request::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

LoopbackHttpServer::LoopbackHttpServer() {
    KeepLoopbackOffProxies();
    if (::pipe2(wakePipe_, O_CLOEXEC) != 0)
        throw std::runtime_error("LoopbackHttpServer: pipe failed");
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listenFd_, 64) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (listenFd_ >= 0)
            ::close(listenFd_);
        ::close(wakePipe_[0]);
        ::close(wakePipe_[1]);
        throw std::runtime_error("LoopbackHttpServer: cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopWake_.notify_all();
    [[maybe_unused]] const ssize_t n = ::write(wakePipe_[1], "x", 1);
    acceptThread_.join();
    for (std::thread& connection : connections_) // no new ones once the accept loop has ended
        connection.join();
    ::close(listenFd_);
    ::close(wakePipe_[0]);
    ::close(wakePipe_[1]);
}

QString LoopbackHttpServer::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(port_);
}

void LoopbackHttpServer::setRoute(const QString& target, Route route) {
    std::lock_guard lock(mutex_);
    routes_[target.toUtf8()] = std::move(route);
}

void LoopbackHttpServer::setRoute(const QString& target, int status, const QByteArray& body,
                                  const QByteArray& contentType, int delayMs) {
    Route route;
    route.status = status;
    route.body = body;
    route.contentType = contentType;
    route.delayMs = delayMs;
    setRoute(target, std::move(route));
}

void LoopbackHttpServer::setRedirect(const QString& target, const QString& location, int status) {
    Route route;
    route.status = status;
    route.headers.append({"Location", location.toUtf8()});
    setRoute(target, std::move(route));
}

QList<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void LoopbackHttpServer::clearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

LoopbackHttpServer::Route LoopbackHttpServer::routeFor(const QByteArray& target,
                                                       QByteArray& key) const {
    std::lock_guard lock(mutex_);
    auto found = routes_.find(target);
    for (auto it = routes_.begin(); found == routes_.end() && it != routes_.end(); ++it)
        if (it->first.contains('*') && MatchesWildcard(it->first, target))
            found = it;
    if (found == routes_.end())
        found = routes_.find(target.left(target.indexOf('?')));
    if (found != routes_.end()) {
        key = found->first;
        return found->second;
    }
    Route notFound;
    notFound.status = 404;
    notFound.body = "not found";
    return notFound;
}

void LoopbackHttpServer::acceptLoop() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue; // EINTR
        if (fds[1].revents != 0)
            return;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) {
            ++accepted_;
            connections_.emplace_back([this, fd] { serveConnection(fd); });
        }
    }
}

// Appends what the peer sent; false when it closed the connection or the server stops.
bool LoopbackHttpServer::readMore(int fd, QByteArray& buffer) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
    int ready;
    while ((ready = ::poll(fds, 2, -1)) < 0 && errno == EINTR) {
    }
    if (ready < 0 || fds[1].revents != 0)
        return false;
    char chunk[16384];
    const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0)
        return false;
    buffer.append(chunk, n);
    return true;
}

void LoopbackHttpServer::serveConnection(int fd) {
    QByteArray buffer;
    while (serveRequest(fd, buffer)) {
    }
    ::close(fd);
}

// Reads one request and answers it; false when the connection is to be closed.
bool LoopbackHttpServer::serveRequest(int fd, QByteArray& buffer) {
    qsizetype headEnd;
    while ((headEnd = buffer.indexOf("\r\n\r\n")) < 0)
        if (!readMore(fd, buffer))
            return false;

    Request request;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    buffer.remove(0, headEnd + 4);
    const QList<QByteArray> requestLine = lines.front().trimmed().split(' ');
    request.method = requestLine.value(0);
    request.target = requestLine.value(1);
    const QByteArray version = requestLine.value(2);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.append(
                {lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
    }

    const qsizetype contentLength = request.header("Content-Length").toLongLong();
    if (contentLength > buffer.size() &&
        request.header("Expect").compare("100-continue", Qt::CaseInsensitive) == 0 &&
        !SendAll(fd, "HTTP/1.1 100 Continue\r\n\r\n"))
        return false;
    while (buffer.size() < contentLength)
        if (!readMore(fd, buffer))
            return false;
    request.body = buffer.left(contentLength);
    buffer.remove(0, contentLength);
    {
        std::lock_guard lock(mutex_);
        requests_.append(request);
    }

    QByteArray key;
    const Route route = routeFor(request.target, key);
    if (route.delayMs > 0) {
        std::unique_lock lock(mutex_);
        if (stopWake_.wait_for(lock, std::chrono::milliseconds(route.delayMs),
                               [this] { return stopping_.load(); }))
            return false;
    }
    QByteArray body = route.body;
    int status = route.status;
    HeaderList headers = route.headers;
    qint64 offset = 0;
    const QByteArray range = request.header("Range");
    if (route.ranges && status == 200 && range.startsWith("bytes=") && range.endsWith('-')) {
        offset = range.mid(6, range.size() - 7).toLongLong();
        headers.append({"Content-Range", "bytes " + QByteArray::number(offset) + '-' +
                                             QByteArray::number(body.size() - 1) + '/' +
                                             QByteArray::number(body.size())});
        body = body.mid(offset);
        status = 206;
    }
    QByteArray response =
        "HTTP/1.1 " + QByteArray::number(status) + ' ' + ReasonPhrase(status) + "\r\n";
    if (!route.contentType.isEmpty())
        response += "Content-Type: " + route.contentType + "\r\n";
    response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    for (const auto& [name, value] : headers)
        response += name + ": " + value + "\r\n";
    response += "\r\n";
    if (!SendAll(fd, response))
        return false;
    if (request.method != "HEAD" && !sendBody(fd, key, route, body, offset))
        return false;
    return version != "HTTP/1.0" &&
           request.header("Connection").compare("close", Qt::CaseInsensitive) != 0;
}

// Sends `body` (which starts at `offset` of the route's whole body) at the route's pace, up to
// its break; false when the connection is to end.
bool LoopbackHttpServer::sendBody(int fd, const QByteArray& key, const Route& route,
                                  const QByteArray& body, qint64 offset) {
    qint64 end = body.size();
    if (route.breakAt >= offset && route.breakAt < offset + body.size()) {
        std::lock_guard lock(mutex_);
        if (breaksDone_[key] < route.breaks) {
            ++breaksDone_[key];
            end = route.breakAt - offset;
        }
    }
    const bool breaks = end < body.size();
    // Chunks of a twentieth of a second at the route's pace.
    const qint64 chunk = route.bytesPerSecond > 0 ? qMax(1, route.bytesPerSecond / 20) : end;
    for (qint64 sent = 0; sent < end;) {
        const qint64 n = qMin(chunk, end - sent);
        if (!SendAll(fd, body.mid(sent, n)))
            return false;
        sent += n;
        if (route.bytesPerSecond > 0 && sent < end) {
            std::unique_lock lock(mutex_);
            if (stopWake_.wait_for(lock, std::chrono::milliseconds(50),
                                   [this] { return stopping_.load(); }))
                return false;
        }
    }
    if (breaks && route.stall) {
        // Silent until the client gives up and closes, or the server stops.
        QByteArray ignored;
        while (readMore(fd, ignored)) {
        }
    }
    return !breaks;
}
