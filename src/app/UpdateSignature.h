#pragma once
// The publisher's signatures of what the update server serves, and the keys that check them.
// A signature is a short text served beside its file (the same request with "sig=1" added):
//
//   vemo-update-signature 1
//   name: vemo
//   version: 2.0.0.0
//   signed: 2026-03-01T08:00:00Z
//   size: 52428800
//   sha256: <64 hex digits of the file's SHA-256>
//   key: <16 hex digits: the start of the SHA-256 of the signing public key>
//   ed25519: <base64 of the Ed25519 signature of every byte above this line>
//
// Lines end with a line feed. The signed lines bind the bytes to their file name (a script
// cannot pass for the client), to a version (an old build cannot pass for a new one) and to the
// time of signing (an old "latest version" answer cannot pass for a new one).
#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

struct SignedFile {
    QString name;
    QString version;
    QDateTime signedAt; // UTC, whole seconds
    qint64 size = -1;
    QByteArray sha256; // 32 bytes
};

// The signature text of `file` by `privateKey`; empty with `error` when it cannot be made.
QByteArray SignFile(const SignedFile& file, const QByteArray& privateKey, QString& error);

// Checks `text` as the signature, by one of `keys`, of file `name` with exactly this size and
// digest. True with `file` filled in from the signed lines; false with `why` otherwise.
bool CheckSignature(const QByteArray& text, const QList<QByteArray>& keys, const QString& name,
                    qint64 size, const QByteArray& sha256, SignedFile& file, QString& why);

// The key's short name as signatures carry it.
QByteArray KeyId(const QByteArray& publicKey);

// Public keys written as base64 of their 32 bytes, several separated by commas, semicolons or
// blanks (while a key is being replaced, the old and the new). False with `error` naming the
// first that is not one.
bool ParsePublicKeys(const QString& text, QList<QByteArray>& keys, QString& error);

// The keys this client trusts: cfg.ini [UPDATE] PUBLIC_KEY when it is set, else the key built in
// (-DVEMO_UPDATE_PUBLIC_KEY=...). None, or an unusable setting: empty, with `problem` saying why.
QList<QByteArray> TrustedUpdateKeys(const QString& cfgPath, QString& problem);
