#include "net/HttpClient.h"

#include <QIODevice>
#include <QUrl>

#include "net/CurlLibrary.h"

#include <chrono>
#include <cstdio>
#include <memory>

namespace {

struct BodySink {
    QByteArray* buffer = nullptr;
    QIODevice* device = nullptr;
    qint64 limit = 0; // of buffer; 0: none
    bool overLimit = false;
};

size_t OnBodyData(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<BodySink*>(user);
    const size_t bytes = size * count;
    if (sink->device) {
        // Returning fewer bytes than given makes curl stop with a write error.
        return sink->device->write(data, static_cast<qint64>(bytes)) == static_cast<qint64>(bytes)
                   ? bytes
                   : 0;
    }
    if (sink->limit > 0 && sink->buffer->size() + static_cast<qint64>(bytes) > sink->limit) {
        sink->overLimit = true;
        return 0;
    }
    sink->buffer->append(data, static_cast<qsizetype>(bytes));
    return bytes;
}

// The stall limit: no byte sent or received for stallMs. libcurl's own low-speed limit averages
// over several seconds, so a silence after a burst would be noticed seconds late.
struct StallWatch {
    qint64 stallMs = 0;
    curl_off_t lastBytes = -1;
    std::chrono::steady_clock::time_point lastChange = std::chrono::steady_clock::now();
    bool stalled = false;
};

int OnProgress(void* user, curl_off_t, curl_off_t received, curl_off_t, curl_off_t sent) {
    auto* watch = static_cast<StallWatch*>(user);
    const auto now = std::chrono::steady_clock::now();
    if (received + sent != watch->lastBytes) {
        watch->lastBytes = received + sent;
        watch->lastChange = now;
        return 0;
    }
    const auto silent =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - watch->lastChange).count();
    watch->stalled = silent >= watch->stallMs;
    return watch->stalled ? 1 : 0; // non-zero aborts the transfer
}

HttpFailure FailureOf(CURLcode code) {
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
        return HttpFailure::InvalidUrl;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
        return HttpFailure::Connect;
    default:
        return HttpFailure::Transfer;
    }
}

using CurlHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using CurlHeaders = std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)>;

} // namespace

HttpSession::~HttpSession() {
    Close();
}

void HttpSession::Close() {
    const std::lock_guard lock(mutex_);
    if (!handle_)
        return;
    QString error;
    if (const CurlLibrary* api = CurlLibrary::Get(error))
        api->easyCleanup(static_cast<CURL*>(handle_));
    handle_ = nullptr;
}

HttpResponse PerformHttp(const HttpTransfer& request) {
    HttpResponse response;

    // Addresses come from forms and users: tolerant parsing percent-encodes spaces and Chinese
    // query values and keeps escapes that are already there. The scheme is read without regard
    // to letter case, so "HTTPS://" is as secure as "https://".
    const QUrl url(request.url, QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        response.failure = HttpFailure::InvalidUrl;
        response.errorText = QStringLiteral("not an http or https address: ") + request.url;
        return response;
    }
    const QByteArray encodedUrl = url.toEncoded();

    QString loadError;
    const CurlLibrary* const api = CurlLibrary::Get(loadError);
    if (!api) {
        response.failure = HttpFailure::NoRequest;
        response.errorText = loadError;
        return response;
    }
    std::unique_lock<std::mutex> sessionLock;
    CurlHandle ownHandle(nullptr, api->easyCleanup);
    CURL* h = nullptr;
    if (request.session) {
        sessionLock = std::unique_lock(request.session->mutex_);
        if (!request.session->handle_)
            request.session->handle_ = api->easyInit();
        else // options go, kept connections stay
            api->easyReset(static_cast<CURL*>(request.session->handle_));
        h = static_cast<CURL*>(request.session->handle_);
    } else {
        ownHandle.reset(api->easyInit());
        h = ownHandle.get();
    }
    if (!h) {
        response.failure = HttpFailure::NoRequest;
        response.errorText = QStringLiteral("cannot create a curl handle");
        return response;
    }
    char errorBuffer[CURL_ERROR_SIZE] = {};
    BodySink sink{&response.body, request.bodySink, request.maxBodyBytes};
    const QByteArray caFile = request.extraCaFile.toLocal8Bit();

    api->easySetopt(h, CURLOPT_URL, encodedUrl.constData());
    api->easySetopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
    // Signals would be unsafe with the time-outs below on worker threads.
    api->easySetopt(h, CURLOPT_NOSIGNAL, 1L);
    api->easySetopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    api->easySetopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    api->easySetopt(h, CURLOPT_MAXREDIRS, 10L);
    api->easySetopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    api->easySetopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeoutMs));
    api->easySetopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(request.totalTimeoutMs));
    StallWatch stallWatch;
    stallWatch.stallMs = request.stallTimeoutMs;
    if (request.stallTimeoutMs > 0) {
        api->easySetopt(h, CURLOPT_XFERINFOFUNCTION, &OnProgress);
        api->easySetopt(h, CURLOPT_XFERINFODATA, &stallWatch);
        api->easySetopt(h, CURLOPT_NOPROGRESS, 0L);
    }
    if (request.resumeFrom > 0)
        api->easySetopt(h, CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(request.resumeFrom));
    if (request.failOnHttpError)
        api->easySetopt(h, CURLOPT_FAILONERROR, 1L);
    if (!request.keepConnection)
        api->easySetopt(h, CURLOPT_FORBID_REUSE, 1L);
    if (!request.verifyTls) {
        api->easySetopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
        api->easySetopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    } else if (!caFile.isEmpty()) {
        // The company's authorities and, through the folder, the system's.
        api->easySetopt(h, CURLOPT_CAINFO, caFile.constData());
        api->easySetopt(h, CURLOPT_CAPATH, "/etc/ssl/certs");
    }
    curl_slist* headerList = nullptr;
    for (const QByteArray& line : request.headers)
        if (curl_slist* appended = api->slistAppend(headerList, line.constData()))
            headerList = appended;
    const CurlHeaders headers(headerList, api->slistFreeAll);
    if (headers)
        api->easySetopt(h, CURLOPT_HTTPHEADER, headers.get());
    if (request.post || !request.body.isEmpty()) {
        api->easySetopt(h, CURLOPT_POST, 1L);
        api->easySetopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                        static_cast<curl_off_t>(request.body.size()));
        api->easySetopt(h, CURLOPT_POSTFIELDS, request.body.constData());
        if (!request.post)
            api->easySetopt(h, CURLOPT_CUSTOMREQUEST, "GET");
    }
    api->easySetopt(h, CURLOPT_WRITEFUNCTION, &OnBodyData);
    api->easySetopt(h, CURLOPT_WRITEDATA, &sink);

    CURLcode rc = api->easyPerform(h);
    for (int retry = 0; retry < request.connectRetries && FailureOf(rc) == HttpFailure::Connect;
         ++retry) {
        errorBuffer[0] = 0;
        stallWatch = StallWatch{request.stallTimeoutMs};
        rc = api->easyPerform(h);
    }
    // A stall is a time-out, as libcurl would name one.
    if (rc == CURLE_ABORTED_BY_CALLBACK && stallWatch.stalled) {
        rc = CURLE_OPERATION_TIMEDOUT;
        std::snprintf(errorBuffer, sizeof errorBuffer, "no data for %d ms", request.stallTimeoutMs);
    }
    long status = 0;
    api->easyGetinfo(h, CURLINFO_RESPONSE_CODE, &status);
    response.status = static_cast<int>(status);
    curl_off_t length = -1;
    if (api->easyGetinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK)
        response.contentLength = length;
    if (rc != CURLE_OK) {
        response.failure = sink.overLimit ? HttpFailure::TooLarge : FailureOf(rc);
        response.errorCode = static_cast<int>(rc);
        response.errorText =
            QString::fromUtf8(errorBuffer[0] ? errorBuffer : api->easyStrerror(rc));
        response.rangeRefused = rc == CURLE_RANGE_ERROR;
        response.stalled = stallWatch.stalled;
        return response;
    }
    const char* contentType = nullptr;
    if (api->easyGetinfo(h, CURLINFO_CONTENT_TYPE, &contentType) == CURLE_OK && contentType)
        response.contentType = contentType;
    response.completed = true;
    return response;
}

QString HttpGetText(const QString& url) {
    HttpTransfer request;
    request.url = url;
    const HttpResponse response = PerformHttp(request);
    if (!response.completed || response.status != 200)
        return {};
    // A byte-order mark is no part of the text; left in, it would spoil a scrambled
    // connection text from the connection service.
    static const QByteArray utf8Bom("\xEF\xBB\xBF");
    const QByteArray& body = response.body;
    return body.startsWith(utf8Bom) ? QString::fromUtf8(body.mid(utf8Bom.size()))
                                    : QString::fromUtf8(body);
}
