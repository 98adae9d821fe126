#include "app/UpdateSignature.h"

#include "data/CfgFile.h"
#include "platform/Signing.h"

#include <QRegularExpression>

namespace {

const QByteArray kHeader = "vemo-update-signature 1";
const QList<QByteArray> kFields = {"name", "version", "signed", "size", "sha256", "key"};

QByteArray SignedLines(const SignedFile& file, const QByteArray& keyId) {
    const QList<QByteArray> values = {file.name.toUtf8(),
                                      file.version.toUtf8(),
                                      file.signedAt.toUTC().toString(Qt::ISODate).toLatin1(),
                                      QByteArray::number(file.size),
                                      file.sha256.toHex(),
                                      keyId};
    QByteArray text = kHeader + '\n';
    for (qsizetype i = 0; i < kFields.size(); ++i)
        text += kFields[i] + ": " + values[i] + '\n';
    return text;
}

// A value that could not be written on one line would let one signed text read as another.
bool OnOneLine(const QString& value) {
    return !value.isEmpty() && !value.contains(QLatin1Char('\n')) &&
           !value.contains(QLatin1Char('\r'));
}

} // namespace

QByteArray KeyId(const QByteArray& publicKey) {
    platform::Sha256 digest;
    digest.Add(publicKey);
    return digest.Finish().left(8).toHex();
}

QByteArray SignFile(const SignedFile& file, const QByteArray& privateKey, QString& error) {
    if (!OnOneLine(file.name) || !OnOneLine(file.version) || !file.signedAt.isValid() ||
        file.size < 0 || file.sha256.size() != platform::kSha256Bytes) {
        error = QStringLiteral("签名内容不完整（名称、版本、时间、大小或摘要）");
        return {};
    }
    QByteArray publicKey;
    if (!platform::Ed25519PublicKey(privateKey, publicKey, error))
        return {};
    const QByteArray lines = SignedLines(file, KeyId(publicKey));
    QByteArray signature;
    if (!platform::Ed25519Sign(privateKey, lines, signature, error))
        return {};
    return lines + "ed25519: " + signature.toBase64() + '\n';
}

bool CheckSignature(const QByteArray& text, const QList<QByteArray>& keys, const QString& name,
                    qint64 size, const QByteArray& sha256, SignedFile& file, QString& why) {
    const qsizetype signatureLine = text.lastIndexOf("\ned25519: ");
    QList<QByteArray> lines = text.left(signatureLine + 1).split('\n');
    lines.removeLast(); // after the last line feed
    if (signatureLine < 0 || lines.size() != kFields.size() + 1 || lines[0] != kHeader) {
        why = QStringLiteral("签名文件格式不对");
        return false;
    }
    QList<QByteArray> values;
    for (qsizetype i = 0; i < kFields.size(); ++i) {
        if (!lines[i + 1].startsWith(kFields[i] + ": ")) {
            why = QStringLiteral("签名文件格式不对（%1）").arg(QLatin1String(kFields[i]));
            return false;
        }
        values.append(lines[i + 1].mid(kFields[i].size() + 2));
    }
    const QByteArray signedPart = text.left(signatureLine + 1);
    const QByteArray signature = QByteArray::fromBase64(text.mid(signatureLine + 10).trimmed(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray& keyId = values[5];
    const QByteArray* key = nullptr;
    for (const QByteArray& candidate : keys)
        if (KeyId(candidate) == keyId)
            key = &candidate;
    if (!key) {
        why = QStringLiteral("签名所用的密钥（%1）不是本客户端信任的发布者公钥")
                  .arg(QString::fromLatin1(keyId));
        return false;
    }
    QString error;
    if (!platform::Ed25519Verify(*key, signedPart, signature, error)) {
        why = QStringLiteral("签名无效：%1").arg(error);
        return false;
    }
    // Authentic from here on: what remains is whether it is the signature of these bytes.
    file.name = QString::fromUtf8(values[0]);
    file.version = QString::fromUtf8(values[1]);
    file.signedAt = QDateTime::fromString(QString::fromLatin1(values[2]), Qt::ISODate);
    file.size = values[3].toLongLong();
    file.sha256 = QByteArray::fromHex(values[4]);
    if (file.name != name) {
        why = QStringLiteral("签名是 %1 的，不是 %2 的").arg(file.name, name);
        return false;
    }
    if (file.size != size || file.sha256 != sha256) {
        why = QStringLiteral("内容与签名不符（收到 %1 字节，签名的是 %2 字节）")
                  .arg(size)
                  .arg(file.size);
        return false;
    }
    if (!file.signedAt.isValid()) {
        why = QStringLiteral("签名时间无效");
        return false;
    }
    return true;
}

bool ParsePublicKeys(const QString& text, QList<QByteArray>& keys, QString& error) {
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    keys.clear();
    for (const QString& word : text.split(separators, Qt::SkipEmptyParts)) {
        const auto decoded = QByteArray::fromBase64Encoding(
            word.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded || decoded.decoded.size() != platform::kEd25519KeyBytes) {
            error = QStringLiteral("不是发布者公钥（应为 32 字节的 base64）：%1").arg(word);
            keys.clear();
            return false;
        }
        keys.append(decoded.decoded);
    }
    return true;
}

QList<QByteArray> TrustedUpdateKeys(const QString& cfgPath, QString& problem) {
#ifdef VEMO_UPDATE_PUBLIC_KEY
    const QString builtIn = QStringLiteral(VEMO_UPDATE_PUBLIC_KEY);
#else
    const QString builtIn;
#endif
    const QString configured =
        ReadCfg(cfgPath, QStringLiteral("UPDATE"), QStringLiteral("PUBLIC_KEY")).trimmed();
    const QString text = configured.isEmpty() ? builtIn : configured;
    QList<QByteArray> keys;
    QString error;
    if (text.trimmed().isEmpty())
        problem = QStringLiteral("未设置发布者公钥（cfg.ini [UPDATE] PUBLIC_KEY，也没有内置的）");
    else if (!ParsePublicKeys(text, keys, error))
        problem = (configured.isEmpty() ? QStringLiteral("内置的发布者公钥不可用：")
                                        : QStringLiteral("cfg.ini [UPDATE] PUBLIC_KEY 不可用：")) +
                  error;
    return keys;
}
