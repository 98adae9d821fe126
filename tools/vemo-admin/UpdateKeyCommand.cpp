#include "UpdateKeyCommand.h"

#include "app/UpdateSignature.h"
#include "platform/Signing.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

constexpr char kPrivateName[] = "update.key";
constexpr char kPublicName[] = "update.pub";

bool WriteNew(const QString& path, const QByteArray& text, QFileDevice::Permissions permissions,
              QString& error) {
    QFile file(path);
    // NewOnly: an existing key is never replaced, whatever lies there.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        error = QStringLiteral("无法新建 %1（已存在或不可写）").arg(path);
        return false;
    }
    file.setPermissions(permissions);
    if (file.write(text) != text.size() || !file.flush()) {
        error = QStringLiteral("无法写入 %1").arg(path);
        return false;
    }
    return true;
}

} // namespace

bool MakeUpdateKey(const QString& folder, QString& publicKey, QString& error) {
    const QDir dir(folder);
    if (!dir.exists()) {
        error = QStringLiteral("文件夹不存在：%1").arg(folder);
        return false;
    }
    const QString privatePath = dir.absoluteFilePath(QLatin1String(kPrivateName));
    const QString publicPath = dir.absoluteFilePath(QLatin1String(kPublicName));
    if (QFileInfo::exists(privatePath) || QFileInfo::exists(publicPath)) {
        error = QStringLiteral("%1 中已有密钥，不会覆盖").arg(dir.absolutePath());
        return false;
    }
    QByteArray privateBytes;
    QByteArray publicBytes;
    if (!platform::GenerateEd25519Key(privateBytes, publicBytes, error))
        return false;
    publicKey = QString::fromLatin1(publicBytes.toBase64());
    return WriteNew(privatePath, privateBytes.toBase64() + '\n',
                    QFileDevice::ReadOwner | QFileDevice::WriteOwner, error) &&
           WriteNew(publicPath, publicBytes.toBase64() + '\n',
                    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther,
                    error);
}

bool SignUpdateFile(const QString& keyPath, const QString& path, const QString& version,
                    QString& usedVersion, QString& error) {
    QFile keyFile(keyPath);
    if (!keyFile.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("无法读取私钥 %1").arg(keyPath);
        return false;
    }
    const auto key = QByteArray::fromBase64Encoding(keyFile.readAll().trimmed(),
                                                    QByteArray::AbortOnBase64DecodingErrors);
    if (!key || key.decoded.size() != platform::kEd25519KeyBytes) {
        error = QStringLiteral("%1 不是 update keygen 生成的私钥").arg(keyPath);
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("无法读取 %1").arg(path);
        return false;
    }
    const QByteArray bytes = file.readAll();
    usedVersion = version;
    if (usedVersion.isEmpty()) {
        // A version answer is signed as the version it names.
        static const QRegularExpression dotted(QStringLiteral("^[0-9]+(\\.[0-9]+)*$"));
        const QString own = QString::fromUtf8(bytes).trimmed();
        if (own.size() > 20 || !dotted.match(own).hasMatch()) {
            error = QStringLiteral("%1 不是版本号文件：请用 --version 指定版本").arg(path);
            return false;
        }
        usedVersion = own;
    }
    platform::Sha256 digest;
    digest.Add(bytes);
    SignedFile signedFile;
    signedFile.name = QFileInfo(path).fileName();
    signedFile.version = usedVersion;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    signedFile.signedAt = now.addMSecs(-now.time().msec()); // the text holds whole seconds
    signedFile.size = bytes.size();
    signedFile.sha256 = digest.Finish();
    const QByteArray signature = SignFile(signedFile, key.decoded, error);
    if (signature.isEmpty())
        return false;
    QSaveFile out(path + QStringLiteral(".sig"));
    if (!out.open(QIODevice::WriteOnly) || out.write(signature) != signature.size() ||
        !out.commit()) {
        error = QStringLiteral("无法写入 %1.sig").arg(path);
        return false;
    }
    return true;
}
