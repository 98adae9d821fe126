#include "app/UpdateTrust.h"

#include "platform/Signing.h"

#include <QFile>
#include <QMap>
#include <QSaveFile>

namespace {

// update.seen: "NAME<tab>SIGNED-AT" per answer, the signing time of the newest answer accepted.
QString SeenPath(const QString& exeFolder) {
    return exeFolder + QStringLiteral("update.seen");
}

QMap<QString, QDateTime> ReadSeen(const QString& exeFolder) {
    QMap<QString, QDateTime> seen;
    QFile file(SeenPath(exeFolder));
    if (!file.open(QIODevice::ReadOnly))
        return seen;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split('\t');
        const QDateTime when =
            QDateTime::fromString(QString::fromLatin1(parts.value(1)), Qt::ISODate);
        if (parts.size() == 2 && when.isValid())
            seen.insert(QString::fromUtf8(parts[0]), when);
    }
    return seen;
}

void WriteSeen(const QString& exeFolder, const QMap<QString, QDateTime>& seen) {
    QSaveFile file(SeenPath(exeFolder));
    if (!file.open(QIODevice::WriteOnly))
        return;
    for (auto it = seen.begin(); it != seen.end(); ++it)
        file.write(it.key().toUtf8() + '\t' + it.value().toUTC().toString(Qt::ISODate).toLatin1() +
                   '\n');
    file.commit();
}

} // namespace

QString SignatureRequest(const QString& request) {
    return request + (request.contains(QLatin1Char('?')) ? QStringLiteral("&sig=1")
                                                         : QStringLiteral("?sig=1"));
}

UpdateTrust::UpdateTrust(const QString& exeFolder)
    : exeFolder_(exeFolder), limits_(DownloadLimitsOf(exeFolder + QStringLiteral("cfg.ini"))) {
    keys_ = TrustedUpdateKeys(exeFolder + QStringLiteral("cfg.ini"), keyProblem_);
}

QString UpdateTrust::SignedAnswer(const UpdateServer& server, const QString& request,
                                  const QString& name, const QString& seenAs, QString& why) const {
    why.clear();
    QByteArray body;
    if (!FetchSmall(server.Url(request), body))
        return {};
    const QString answer = ShortAnswerOf(body);
    if (answer.isEmpty())
        return {};
    QByteArray signature;
    if (!FetchSmall(server.Url(SignatureRequest(request)), signature)) {
        why = QStringLiteral("更新服务器没有给出 %1 的签名").arg(name);
        return {};
    }
    platform::Sha256 digest;
    digest.Add(body);
    SignedFile file;
    if (!CheckSignature(signature, keys_, name, body.size(), digest.Finish(), file, why))
        return {};
    if (file.version != answer) {
        why = QStringLiteral("回答 %1 与签名的版本 %2 不符").arg(answer, file.version);
        return {};
    }
    QMap<QString, QDateTime> seen = ReadSeen(exeFolder_);
    const QDateTime last = seen.value(seenAs);
    if (last.isValid() && file.signedAt < last) {
        why = QStringLiteral("回答 %1 签于 %2，早于已见过的 %3 的回答（旧回答被重放）")
                  .arg(answer, file.signedAt.toString(Qt::ISODate), last.toString(Qt::ISODate));
        return {};
    }
    if (file.signedAt != last) {
        seen.insert(seenAs, file.signedAt);
        WriteSeen(exeFolder_, seen);
    }
    return answer;
}

UpdateTrust::Fetched UpdateTrust::SignedDownload(const UpdateServer& server, const QString& request,
                                                 const QString& path, const QString& name,
                                                 const QString& version, QString& why) const {
    QFile::remove(path + QStringLiteral(".sig"));
    // The signature first: without one, the file is not worth fetching.
    QByteArray signature;
    if (!FetchSmall(server.Url(SignatureRequest(request)), signature)) {
        why = QStringLiteral("更新服务器没有给出 %1 的签名").arg(name);
        return Fetched::Refused;
    }
    const DownloadResult download = DownloadToFile(server.Url(request), path, limits_);
    if (!download.ok) {
        why = download.error;
        return Fetched::Failed;
    }
    SignedFile file;
    const bool signedAsIs =
        CheckSignature(signature, keys_, name, download.size, download.sha256, file, why);
    if (signedAsIs && file.version != version)
        why = QStringLiteral("签名的版本是 %1，不是 %2").arg(file.version, version);
    if (!signedAsIs || file.version != version) {
        QFile::remove(path);
        return Fetched::Refused;
    }
    // Beside the file it goes with; written plainly, since the file's own commit made it durable.
    QFile kept(path + QStringLiteral(".sig"));
    if (kept.open(QIODevice::WriteOnly | QIODevice::Truncate))
        kept.write(signature);
    return Fetched::Ok;
}

bool UpdateTrust::CheckBytes(const QByteArray& bytes, const QByteArray& signature,
                             const QString& name, const QString& version, QString& why) const {
    if (signature.isEmpty()) {
        why = QStringLiteral("没有 %1 的发布者签名").arg(name);
        return false;
    }
    platform::Sha256 digest;
    digest.Add(bytes);
    SignedFile file;
    if (!CheckSignature(signature, keys_, name, bytes.size(), digest.Finish(), file, why))
        return false;
    if (file.version == version)
        return true;
    why = QStringLiteral("签名的版本是 %1，不是 %2").arg(file.version, version);
    return false;
}
