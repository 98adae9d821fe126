#include "platform/Signing.h"

#include "platform/CryptoLibrary.h"

#include <memory>

namespace platform {

namespace {

using KeyHandle = std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)>;
using ContextHandle = std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)>;

// The library and a key made from raw bytes, or nullptr with `error` set.
KeyHandle RawKey(const CryptoLibrary*& api, const QByteArray& raw, bool isPrivate, QString& error) {
    KeyHandle none(nullptr, [](EVP_PKEY*) {});
    api = CryptoLibrary::Get(error);
    if (!api)
        return none;
    if (raw.size() != kEd25519KeyBytes) {
        error = QStringLiteral("Ed25519 密钥应为 %1 字节，这里是 %2 字节")
                    .arg(kEd25519KeyBytes)
                    .arg(raw.size());
        return none;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(raw.constData());
    EVP_PKEY* key =
        isPrivate ? api->newRawPrivateKey(EVP_PKEY_ED25519, nullptr, bytes, size_t(raw.size()))
                  : api->newRawPublicKey(EVP_PKEY_ED25519, nullptr, bytes, size_t(raw.size()));
    if (!key) {
        error = QStringLiteral("libcrypto 不接受这个 Ed25519 密钥");
        return none;
    }
    return KeyHandle(key, api->pkeyFree);
}

QByteArray RawOf(const CryptoLibrary* api, EVP_PKEY* key, bool isPrivate) {
    QByteArray raw(kEd25519KeyBytes, Qt::Uninitialized);
    size_t length = size_t(raw.size());
    auto* out = reinterpret_cast<unsigned char*>(raw.data());
    const int ok = isPrivate ? api->getRawPrivateKey(key, out, &length)
                             : api->getRawPublicKey(key, out, &length);
    return ok == 1 && length == size_t(kEd25519KeyBytes) ? raw : QByteArray();
}

} // namespace

bool GenerateEd25519Key(QByteArray& privateKey, QByteArray& publicKey, QString& error) {
    const CryptoLibrary* api = CryptoLibrary::Get(error);
    if (!api)
        return false;
    EVP_PKEY_CTX* context = api->pkeyCtxNewId(EVP_PKEY_ED25519, nullptr);
    EVP_PKEY* key = nullptr;
    const bool made = context && api->keygenInit(context) == 1 && api->keygen(context, &key) == 1;
    if (context)
        api->pkeyCtxFree(context);
    if (!made) {
        error = QStringLiteral("libcrypto 未能生成 Ed25519 密钥");
        return false;
    }
    const KeyHandle owned(key, api->pkeyFree);
    privateKey = RawOf(api, key, true);
    publicKey = RawOf(api, key, false);
    if (privateKey.isEmpty() || publicKey.isEmpty()) {
        error = QStringLiteral("libcrypto 未给出密钥的字节");
        return false;
    }
    return true;
}

bool Ed25519PublicKey(const QByteArray& privateKey, QByteArray& publicKey, QString& error) {
    const CryptoLibrary* api = nullptr;
    const KeyHandle key = RawKey(api, privateKey, true, error);
    if (!key)
        return false;
    publicKey = RawOf(api, key.get(), false);
    return !publicKey.isEmpty();
}

bool Ed25519Sign(const QByteArray& privateKey, const QByteArray& message, QByteArray& signature,
                 QString& error) {
    const CryptoLibrary* api = nullptr;
    const KeyHandle key = RawKey(api, privateKey, true, error);
    if (!key)
        return false;
    const ContextHandle context(api->mdCtxNew(), api->mdCtxFree);
    signature = QByteArray(kEd25519SignatureBytes, Qt::Uninitialized);
    size_t length = size_t(signature.size());
    // Ed25519 hashes the message itself: no digest is named.
    if (!context || api->digestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1 ||
        api->digestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &length,
                        reinterpret_cast<const unsigned char*>(message.constData()),
                        size_t(message.size())) != 1 ||
        length != size_t(kEd25519SignatureBytes)) {
        error = QStringLiteral("libcrypto 未能签名");
        signature.clear();
        return false;
    }
    return true;
}

bool Ed25519Verify(const QByteArray& publicKey, const QByteArray& message,
                   const QByteArray& signature, QString& error) {
    const CryptoLibrary* api = nullptr;
    const KeyHandle key = RawKey(api, publicKey, false, error);
    if (!key)
        return false;
    const ContextHandle context(api->mdCtxNew(), api->mdCtxFree);
    if (!context ||
        api->digestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        error = QStringLiteral("libcrypto 未能开始验证签名");
        return false;
    }
    if (signature.size() != kEd25519SignatureBytes ||
        api->digestVerify(context.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                          size_t(signature.size()),
                          reinterpret_cast<const unsigned char*>(message.constData()),
                          size_t(message.size())) != 1) {
        error = QStringLiteral("签名与内容不符，或不是这个密钥签的");
        return false;
    }
    return true;
}

Sha256::Sha256() {
    const CryptoLibrary* api = CryptoLibrary::Get(error_);
    if (!api)
        return;
    EVP_MD_CTX* context = api->mdCtxNew();
    if (context && api->digestInit(context, api->sha256(), nullptr) == 1)
        context_ = context;
    else if (context)
        api->mdCtxFree(context);
    if (!context_)
        error_ = QStringLiteral("libcrypto 未能开始计算 SHA-256");
}

Sha256::~Sha256() {
    QString ignored;
    if (context_)
        CryptoLibrary::Get(ignored)->mdCtxFree(static_cast<EVP_MD_CTX*>(context_));
}

void Sha256::Add(const char* data, qsizetype size) {
    QString ignored;
    if (context_ && size > 0)
        CryptoLibrary::Get(ignored)->digestUpdate(static_cast<EVP_MD_CTX*>(context_), data,
                                                  size_t(size));
}

QByteArray Sha256::Finish() {
    QString ignored;
    if (!context_)
        return {};
    const CryptoLibrary* api = CryptoLibrary::Get(ignored);
    QByteArray digest(kSha256Bytes, Qt::Uninitialized);
    unsigned int length = 0;
    const bool done =
        api->digestFinal(static_cast<EVP_MD_CTX*>(context_),
                         reinterpret_cast<unsigned char*>(digest.data()), &length) == 1;
    Reset();
    return done && length == unsigned(kSha256Bytes) ? digest : QByteArray();
}

void Sha256::Reset() {
    QString ignored;
    if (context_)
        CryptoLibrary::Get(ignored)->digestInit(static_cast<EVP_MD_CTX*>(context_),
                                                CryptoLibrary::Get(ignored)->sha256(), nullptr);
}

} // namespace platform
