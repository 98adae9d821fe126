// The publisher's signatures: standard Ed25519 that OpenSSL's own command checks and makes, a
// text that binds the bytes to their name, version, size and digest, and the keys cfg.ini names.
#include "app/UpdateSignature.h"
#include "data/CfgFile.h"
#include "platform/Signing.h"
#include "support/TestPublisher.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray Sha256(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

bool RunOpenssl(const QStringList& arguments, QByteArray* output = nullptr) {
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return false;
    if (output)
        *output = openssl.readAllStandardOutput();
    return true;
}

// Both ways with the openssl command: it checks what we sign, and we accept what it signs.
TEST(UpdateSignature, IsStandardEd25519) {
    QTemporaryDir dir;
    const QString key = dir.filePath("key.pem");
    QByteArray publicDer;
    ASSERT_TRUE(RunOpenssl({"genpkey", "-algorithm", "ed25519", "-out", key}));
    ASSERT_TRUE(RunOpenssl({"pkey", "-in", key, "-pubout", "-outform", "DER"}, &publicDer));
    const QByteArray publicKey = publicDer.right(32); // after the fixed SubjectPublicKeyInfo head
    QByteArray privateDer;
    ASSERT_TRUE(RunOpenssl({"pkey", "-in", key, "-outform", "DER"}, &privateDer));
    const QByteArray privateKey = privateDer.right(32);

    const QByteArray bytes = "2.0.0.0\n";
    SignedFile file{"client-version.txt", "2.0.0.0",
                    QDateTime::fromString("2026-03-01T08:00:00Z", Qt::ISODate), bytes.size(),
                    Sha256(bytes)};
    QString error;
    const QByteArray ours = SignFile(file, privateKey, error);
    ASSERT_FALSE(ours.isEmpty()) << qPrintable(error);
    const qsizetype split = ours.lastIndexOf("ed25519: ");
    auto write = [&](const QString& name, const QByteArray& content) {
        QFile out(dir.filePath(name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
    };
    write("lines", ours.left(split));
    write("ours.sig", QByteArray::fromBase64(ours.mid(split + 9).trimmed()));
    EXPECT_TRUE(RunOpenssl({"pkeyutl", "-verify", "-inkey", key, "-rawin", "-in",
                            dir.filePath("lines"), "-sigfile", dir.filePath("ours.sig")}));

    QByteArray theirs;
    ASSERT_TRUE(RunOpenssl(
        {"pkeyutl", "-sign", "-inkey", key, "-rawin", "-in", dir.filePath("lines")}, &theirs));
    SignedFile checked;
    EXPECT_TRUE(CheckSignature(ours.left(split) + "ed25519: " + theirs.toBase64() + '\n',
                               {publicKey}, "client-version.txt", bytes.size(), Sha256(bytes),
                               checked, error))
        << qPrintable(error);
    EXPECT_EQ(checked.version, "2.0.0.0");
    EXPECT_EQ(checked.signedAt, file.signedAt);
}

TEST(UpdateSignature, BindsNameSizeDigestAndEverySignedLine) {
    const TestPublisher publisher;
    const TestPublisher stranger;
    const QByteArray bytes(5000, 'x');
    const QByteArray good = publisher.Sign("vemo", "2.0.0.0", bytes);
    QByteArray key;
    QString error;
    ASSERT_TRUE(platform::Ed25519PublicKey(publisher.PrivateKey(), key, error));
    const struct {
        const char* what;
        QByteArray text;
        QString name;
        QByteArray bytes;
        const char* why; // empty: accepted
    } cases[] = {
        {"as signed", good, "vemo", bytes, ""},
        {"other bytes of the same size", good, "vemo", QByteArray(5000, 'y'), "内容与签名不符"},
        {"bytes cut short", good, "vemo", bytes.left(4000), "内容与签名不符（收到 4000 字节"},
        {"another file's signature", good, "up", bytes, "签名是 vemo 的，不是 up 的"},
        {"a signed line changed", QByteArray(good).replace("version: 2.0.0.0", "version: 9.0.0.0"),
         "vemo", bytes, "签名无效"},
        {"signed by a key not trusted", stranger.Sign("vemo", "2.0.0.0", bytes), "vemo", bytes,
         "不是本客户端信任的发布者公钥"},
        {"a line missing", QByteArray(good).replace(QByteArray("size: 5000\n"), ""), "vemo", bytes,
         "签名文件格式不对"},
        {"no signature text at all", "<html>404</html>", "vemo", bytes, "签名文件格式不对"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SignedFile file;
        QString why;
        const bool accepted =
            CheckSignature(c.text, {key}, c.name, c.bytes.size(), Sha256(c.bytes), file, why);
        EXPECT_EQ(accepted, QByteArray(c.why).isEmpty());
        EXPECT_TRUE(why.contains(QString::fromUtf8(c.why))) << qPrintable(why);
    }
}

// cfg.ini names one key, or the old and the new one while a key is replaced; a setting that is
// no key leaves the client without any, and says so.
TEST(UpdateSignature, KeysComeFromCfgIni) {
    const TestPublisher first;
    const TestPublisher second;
    QTemporaryDir dir;
    const QString cfg = dir.filePath("cfg.ini");
    QString problem;
    WriteCfg(cfg, "UPDATE", "PUBLIC_KEY", first.PublicKey() + " ; " + second.PublicKey());
    EXPECT_EQ(TrustedUpdateKeys(cfg, problem).size(), 2);
    EXPECT_TRUE(problem.isEmpty());

    WriteCfg(cfg, "UPDATE", "PUBLIC_KEY", first.PublicKey() + ",AAAA");
    EXPECT_TRUE(TrustedUpdateKeys(cfg, problem).isEmpty());
    EXPECT_TRUE(problem.contains("AAAA")) << qPrintable(problem);

    WriteCfg(cfg, "UPDATE", "PUBLIC_KEY", "");
    problem.clear();
    EXPECT_TRUE(TrustedUpdateKeys(cfg, problem).isEmpty());
    EXPECT_TRUE(problem.contains("PUBLIC_KEY")) << qPrintable(problem);
}

} // namespace
