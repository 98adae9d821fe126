#pragma once
// Ed25519 signatures and SHA-256 digests through OpenSSL's libcrypto (loaded at first use). Keys
// are the raw 32-byte forms of RFC 8032. Failures are results with a reason, never exceptions.
#include <QByteArray>
#include <QString>

namespace platform {

inline constexpr qsizetype kEd25519KeyBytes = 32;
inline constexpr qsizetype kEd25519SignatureBytes = 64;
inline constexpr qsizetype kSha256Bytes = 32;

// A new key pair from the library's random generator.
bool GenerateEd25519Key(QByteArray& privateKey, QByteArray& publicKey, QString& error);
bool Ed25519PublicKey(const QByteArray& privateKey, QByteArray& publicKey, QString& error);
bool Ed25519Sign(const QByteArray& privateKey, const QByteArray& message, QByteArray& signature,
                 QString& error);
// True only when `signature` is the key's signature of `message`; otherwise `error` says why.
bool Ed25519Verify(const QByteArray& publicKey, const QByteArray& message,
                   const QByteArray& signature, QString& error);

// SHA-256 of data given piece by piece, as it arrives.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False when libcrypto could not be loaded (Error() says why); Add then does nothing.
    bool IsValid() const { return context_ != nullptr; }
    const QString& Error() const { return error_; }
    void Add(const char* data, qsizetype size);
    void Add(const QByteArray& bytes) { Add(bytes.constData(), bytes.size()); }
    // The digest of everything added since the start or the last Reset, which it then is;
    // empty when invalid.
    QByteArray Finish();
    void Reset();

private:
    void* context_ = nullptr; // EVP_MD_CTX*
    QString error_;
};

} // namespace platform
