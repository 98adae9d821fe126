#include "support/TestPublisher.h"

#include "app/UpdateSignature.h"
#include "app/UpdateTrust.h"
#include "platform/Signing.h"

#include <stdexcept>

TestPublisher::TestPublisher() {
    QString error;
    if (!platform::GenerateEd25519Key(privateKey_, publicKey_, error))
        throw std::runtime_error(error.toStdString());
}

QByteArray TestPublisher::Sign(const QString& name, const QString& version, const QByteArray& bytes,
                               const QDateTime& signedAt) const {
    platform::Sha256 digest;
    digest.Add(bytes);
    SignedFile file;
    file.name = name;
    file.version = version;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    file.signedAt = signedAt.isValid() ? signedAt : now.addMSecs(-now.time().msec());
    file.size = bytes.size();
    file.sha256 = digest.Finish();
    QString error;
    const QByteArray text = SignFile(file, privateKey_, error);
    if (text.isEmpty())
        throw std::runtime_error(error.toStdString());
    return text;
}

QString SignatureTarget(const QString& target) {
    // A path alone stands for any query, so its signature is any query that ends in sig=1.
    return target.contains(QLatin1Char('?')) ? SignatureRequest(target)
                                             : target + QStringLiteral("*sig=1");
}

void TestPublisher::Serve(LoopbackHttpServer& server, const QString& target, const QString& name,
                          const QString& version, const QByteArray& bytes,
                          const QDateTime& signedAt) const {
    server.setRoute(target, 200, bytes, "application/octet-stream");
    server.setRoute(SignatureTarget(target), 200, Sign(name, version, bytes, signedAt));
}

void TestPublisher::ServeAnswer(LoopbackHttpServer& server, const QString& target,
                                const QString& name, const QString& version,
                                const QDateTime& signedAt) const {
    Serve(server, target, name, version, version.toUtf8(), signedAt);
}
