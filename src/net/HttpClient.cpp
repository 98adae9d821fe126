#include "net/HttpClient.h"

#include <QIODevice>
#include <QUrl>

#include "net/CurlLibrary.h"

#include <memory>

namespace {

struct BodySink {
    QByteArray* buffer = nullptr;
    QIODevice* device = nullptr;
};

size_t OnBodyData(char* data, size_t size, size_t count, void* user) {
    const auto* sink = static_cast<BodySink*>(user);
    const size_t bytes = size * count;
    if (sink->device) {
        // Returning fewer bytes than given makes curl stop with a write error.
        return sink->device->write(data, static_cast<qint64>(bytes)) == static_cast<qint64>(bytes)
                   ? bytes
                   : 0;
    }
    sink->buffer->append(data, static_cast<qsizetype>(bytes));
    return bytes;
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

HttpResponse PerformHttp(const HttpRequest& request) {
    HttpResponse response;

    // Addresses come from forms and users: tolerant parsing percent-encodes spaces and Chinese
    // query values and keeps escapes that are already there.
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
        response.failure = HttpFailure::Transfer;
        response.errorText = loadError;
        return response;
    }
    CurlHandle curl(api->easyInit(), api->easyCleanup);
    if (!curl) {
        response.failure = HttpFailure::Transfer;
        response.errorText = QStringLiteral("cannot create a curl handle");
        return response;
    }
    CURL* h = curl.get();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    BodySink sink{&response.body, request.bodySink};

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
    if (!request.verifyTls) {
        api->easySetopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
        api->easySetopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    curl_slist* headerList = nullptr;
    for (const QByteArray& line : request.headers)
        if (curl_slist* appended = api->slistAppend(headerList, line.constData()))
            headerList = appended;
    const CurlHeaders headers(headerList, api->slistFreeAll);
    if (headers)
        api->easySetopt(h, CURLOPT_HTTPHEADER, headers.get());
    if (request.post) {
        api->easySetopt(h, CURLOPT_POST, 1L);
        api->easySetopt(h, CURLOPT_POSTFIELDSIZE_LARGE,
                        static_cast<curl_off_t>(request.body.size()));
        api->easySetopt(h, CURLOPT_POSTFIELDS, request.body.constData());
    }
    api->easySetopt(h, CURLOPT_WRITEFUNCTION, &OnBodyData);
    api->easySetopt(h, CURLOPT_WRITEDATA, &sink);

    const CURLcode rc = api->easyPerform(h);
    if (rc != CURLE_OK) {
        response.failure = FailureOf(rc);
        response.errorText =
            QString::fromUtf8(errorBuffer[0] ? errorBuffer : api->easyStrerror(rc));
        return response;
    }
    long status = 0;
    api->easyGetinfo(h, CURLINFO_RESPONSE_CODE, &status);
    response.completed = true;
    response.status = static_cast<int>(status);
    return response;
}

QString HttpGetText(const QString& url) {
    HttpRequest request;
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
