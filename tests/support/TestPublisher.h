#pragma once
// The publisher's side of signed updates in tests: a key pair of its own, and routes of the
// loopback update server that serve a file with its signature beside it (the same request with
// "sig=1").
#include "support/LoopbackHttpServer.h"

#include <QDateTime>
#include <QString>

class TestPublisher {
public:
    TestPublisher(); // a new key pair
    const QByteArray& PrivateKey() const { return privateKey_; }
    // As cfg.ini [UPDATE] PUBLIC_KEY holds it.
    QString PublicKey() const { return QString::fromLatin1(publicKey_.toBase64()); }

    // The signature text of `bytes` as file `name` of `version`, signed at `signedAt` (now).
    QByteArray Sign(const QString& name, const QString& version, const QByteArray& bytes,
                    const QDateTime& signedAt = {}) const;

    // Serves `bytes` at `target` (a path alone: with any query) and their signature as file
    // `name` of `version` beside it.
    void Serve(LoopbackHttpServer& server, const QString& target, const QString& name,
               const QString& version, const QByteArray& bytes,
               const QDateTime& signedAt = {}) const;
    // A version answer: its text is the version it is signed as.
    void ServeAnswer(LoopbackHttpServer& server, const QString& target, const QString& name,
                     const QString& version, const QDateTime& signedAt = {}) const;

private:
    QByteArray privateKey_;
    QByteArray publicKey_;
};

// Where `target`'s signature is served.
QString SignatureTarget(const QString& target);
