#include "platform/CryptoLibrary.h"

#include <QLibrary>

#include <utility>

namespace {

struct Loaded {
    CryptoLibrary api;
    QString error;
};

Loaded Load() {
    Loaded loaded;
    // Kept loaded for the life of the process: the pointers below point into it.
    static QLibrary library(QStringLiteral("crypto"), 3);
    if (!library.load()) {
        loaded.error = QStringLiteral("无法加载 libcrypto：") + library.errorString();
        return loaded;
    }
    CryptoLibrary& a = loaded.api;
    // Each entry stores the symbol's address into its member; the first missing one is named.
    const std::pair<const char*, void (*)(CryptoLibrary&, QFunctionPointer)> symbols[] = {
#define VEMO_CRYPTO_SYMBOL(member, name)                                                           \
    {                                                                                              \
#name, [](CryptoLibrary & c,                                                               \
                  QFunctionPointer f) { c.member = reinterpret_cast<decltype(c.member)>(f); }      \
    }
        VEMO_CRYPTO_SYMBOL(mdCtxNew, EVP_MD_CTX_new),
        VEMO_CRYPTO_SYMBOL(mdCtxFree, EVP_MD_CTX_free),
        VEMO_CRYPTO_SYMBOL(sha256, EVP_sha256),
        VEMO_CRYPTO_SYMBOL(digestInit, EVP_DigestInit_ex),
        VEMO_CRYPTO_SYMBOL(digestUpdate, EVP_DigestUpdate),
        VEMO_CRYPTO_SYMBOL(digestFinal, EVP_DigestFinal_ex),
        VEMO_CRYPTO_SYMBOL(pkeyCtxNewId, EVP_PKEY_CTX_new_id),
        VEMO_CRYPTO_SYMBOL(pkeyCtxFree, EVP_PKEY_CTX_free),
        VEMO_CRYPTO_SYMBOL(keygenInit, EVP_PKEY_keygen_init),
        VEMO_CRYPTO_SYMBOL(keygen, EVP_PKEY_keygen),
        VEMO_CRYPTO_SYMBOL(newRawPrivateKey, EVP_PKEY_new_raw_private_key),
        VEMO_CRYPTO_SYMBOL(newRawPublicKey, EVP_PKEY_new_raw_public_key),
        VEMO_CRYPTO_SYMBOL(getRawPrivateKey, EVP_PKEY_get_raw_private_key),
        VEMO_CRYPTO_SYMBOL(getRawPublicKey, EVP_PKEY_get_raw_public_key),
        VEMO_CRYPTO_SYMBOL(pkeyFree, EVP_PKEY_free),
        VEMO_CRYPTO_SYMBOL(digestSignInit, EVP_DigestSignInit),
        VEMO_CRYPTO_SYMBOL(digestSign, EVP_DigestSign),
        VEMO_CRYPTO_SYMBOL(digestVerifyInit, EVP_DigestVerifyInit),
        VEMO_CRYPTO_SYMBOL(digestVerify, EVP_DigestVerify),
#undef VEMO_CRYPTO_SYMBOL
    };
    for (const auto& [name, store] : symbols) {
        const QFunctionPointer found = library.resolve(name);
        if (!found) {
            loaded.error = QStringLiteral("libcrypto 缺少函数 %1").arg(QLatin1String(name));
            return loaded;
        }
        store(a, found);
    }
    return loaded;
}

} // namespace

const CryptoLibrary* CryptoLibrary::Get(QString& error) {
    static const Loaded loaded = Load();
    if (!loaded.error.isEmpty()) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.api;
}
