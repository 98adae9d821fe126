#include "app/UpdateServer.h"

#include "data/CfgFile.h"
#include "net/HttpClient.h"

#include <QFile>
#include <QSaveFile>

QString UpdateServer::Url(const QString& pathAndQuery) const {
    return scheme + QStringLiteral("://") + address + pathAndQuery;
}

QString ShortAnswer(const QString& url) {
    // A line break after the answer is the server's file, not part of the version.
    const QString answer = HttpGetText(url).trimmed();
    return answer.size() > 20 ? QString() : answer;
}

UpdateServer FindUpdateServer(const QString& cfgPath) {
    UpdateServer server;
    const QString scheme = ReadCfg(cfgPath, QStringLiteral("UPDATE"), QStringLiteral("SCHEME"));
    if (scheme == QLatin1String("https"))
        server.scheme = scheme;
    for (int i = 1; i <= 4; ++i) {
        const QString endpoint =
            ReadCfg(cfgPath, QStringLiteral("UPDATE"), QStringLiteral("DISCOVER%1").arg(i));
        if (endpoint.isEmpty())
            continue;
        const QString answer = ShortAnswer(endpoint);
        if (!answer.isEmpty()) {
            server.address = QString(answer).remove(QStringLiteral("\r\n")).trimmed();
            break;
        }
    }
    return server;
}

bool DownloadToFile(const QString& url, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    HttpTransfer request;
    request.url = url;
    request.bodySink = &file;
    const HttpResponse response = PerformHttp(request);
    if (!response.completed || response.status != 200) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
