#include "net/WebRequest.h"

#include "platform/Gbk.h"

#include <QStringDecoder>
#include <QUrl>

namespace {

// The headers a web form expects of a browser; a request that has one already keeps its own.
void AddHeaderIfAbsent(QList<QByteArray>& headers, const QByteArray& line) {
    const QByteArray name = line.left(line.indexOf(':') + 1).toLower();
    for (const QByteArray& present : headers)
        if (present.toLower().startsWith(name))
            return;
    headers.append(line);
}

// The value of the first "charset=" in `text` (a Content-Type or a meta element), without
// quotes, in lower case; empty when there is none.
QByteArray CharsetIn(const QByteArray& text) {
    const QByteArray lower = text.toLower();
    const qsizetype at = lower.indexOf("charset=");
    if (at < 0)
        return {};
    qsizetype begin = at + 8;
    while (begin < lower.size() && (lower[begin] == '"' || lower[begin] == '\'' ||
                                    lower[begin] == ' ' || lower[begin] == '\t'))
        ++begin;
    qsizetype end = begin;
    while (end < lower.size() && !QByteArrayView("\"'; \t\r\n>/,").contains(lower[end]))
        ++end;
    return lower.mid(begin, end - begin);
}

// The charset a page names for itself in a meta element near its start (<meta charset=...>
// or <meta http-equiv=... content="...; charset=...">), as browsers look for it.
QByteArray MetaCharset(const QByteArray& body) {
    constexpr qsizetype kHeadBytes = 4096;
    const QByteArray head = body.left(kHeadBytes).toLower();
    for (qsizetype at = head.indexOf("<meta"); at >= 0; at = head.indexOf("<meta", at + 5)) {
        const qsizetype close = head.indexOf('>', at);
        const QByteArray charset = CharsetIn(head.mid(at, close < 0 ? -1 : close - at));
        if (!charset.isEmpty())
            return charset;
    }
    return {};
}

// `body` in `charset`; false for a charset this client cannot decode.
bool DecodeAs(const QByteArray& charset, const QByteArray& body, QString& text) {
    static const QByteArrayList gbkNames = {"gbk",   "gb2312",  "gb_2312-80", "cp936",
                                            "x-gbk", "gb18030", "windows-936"};
    if (charset.isEmpty())
        return false;
    if (gbkNames.contains(charset)) {
        text = platform::DecodeGbk(body);
        return true;
    }
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        return false;
    text = decoder.decode(body);
    return true;
}

// What the server declares first, then what the page says of itself, then the form's `code`.
QString DecodePage(const QByteArray& contentType, const QByteArray& body,
                   const QString& formCharset) {
    QString text;
    if (DecodeAs(CharsetIn(contentType), body, text) || DecodeAs(MetaCharset(body), body, text))
        return text;
    return formCharset.compare(QLatin1String("GB2312"), Qt::CaseInsensitive) == 0
               ? platform::DecodeGbk(body)
               : QString::fromUtf8(body);
}

} // namespace

bool WebTlsSettings::ChecksHost(const QString& host) const {
    for (const QString& unchecked : uncheckedHosts)
        if (!unchecked.trimmed().isEmpty() &&
            unchecked.trimmed().compare(host, Qt::CaseInsensitive) == 0)
            return false;
    return true;
}

bool HttpRequest(WebRequestSettings& settings) {
    settings.status = QStringLiteral("提交成功完成！");
    settings.response.clear();

    HttpTransfer transfer;
    transfer.url = settings.url;
    transfer.post = settings.post;
    transfer.body = settings.body.toUtf8();
    transfer.session = settings.session;
    transfer.keepConnection = settings.keepConnection;
    transfer.connectTimeoutMs = settings.timeouts.connectMs;
    transfer.stallTimeoutMs = settings.timeouts.stallMs;
    transfer.totalTimeoutMs = settings.timeouts.totalMs;
    transfer.connectRetries = settings.timeouts.connectRetries;
    transfer.verifyTls = settings.tls.ChecksHost(QUrl(settings.url, QUrl::TolerantMode).host());
    transfer.extraCaFile = settings.tls.extraCaFile;
    transfer.maxBodyBytes = settings.maxResponseBytes;
    AddHeaderIfAbsent(transfer.headers, "Content-Type: application/x-www-form-urlencoded");
    AddHeaderIfAbsent(transfer.headers, "Accept: */*");
    AddHeaderIfAbsent(transfer.headers, "Accept-Language: zh-CN");
    AddHeaderIfAbsent(transfer.headers,
                      "User-Agent:Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; Trident/5.0)");
    // A body of more than a kilobyte would otherwise wait for the server's "100 Continue".
    transfer.headers.append("Expect:");

    const HttpResponse answer = PerformHttp(transfer);
    switch (answer.failure) {
    case HttpFailure::None:
        break;
    case HttpFailure::InvalidUrl:
        settings.status = settings.url + QStringLiteral("不是有效有网络地址！");
        return false;
    case HttpFailure::NoRequest:
        settings.status = QStringLiteral("找不到网络地址") + settings.url;
        return false;
    case HttpFailure::Connect:
        settings.status = QStringLiteral("对不起，连接服务器失败！");
        return false;
    case HttpFailure::TooLarge: {
        constexpr qint64 mib = 1024 * 1024;
        settings.status = QStringLiteral("网页内容超过 %1 MB，已停止接收。")
                              .arg((settings.maxResponseBytes + mib - 1) / mib);
        return false;
    }
    case HttpFailure::Transfer:
        settings.status = (settings.post ? QStringLiteral("向服务器post失败！错误号：%1")
                                         : QStringLiteral("向服务器get失败！错误号：%1"))
                              .arg(answer.errorCode);
        return false;
    }
    if (answer.status < 200 || answer.status > 299) {
        settings.status = QStringLiteral("网站服务器错误") + settings.url;
        return false;
    }
    settings.response = DecodePage(answer.contentType, answer.body, settings.charset);
    return true;
}
