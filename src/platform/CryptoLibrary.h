#pragma once

#include <QString>

#include <openssl/evp.h>

// OpenSSL's libcrypto, loaded the first time an update is checked rather than with the client:
// starting the client and logging in never need it. Only what SHA-256 and Ed25519 use.
struct CryptoLibrary {
    decltype(&::EVP_MD_CTX_new) mdCtxNew = nullptr;
    decltype(&::EVP_MD_CTX_free) mdCtxFree = nullptr;
    decltype(&::EVP_sha256) sha256 = nullptr;
    decltype(&::EVP_DigestInit_ex) digestInit = nullptr;
    decltype(&::EVP_DigestUpdate) digestUpdate = nullptr;
    decltype(&::EVP_DigestFinal_ex) digestFinal = nullptr;
    decltype(&::EVP_PKEY_CTX_new_id) pkeyCtxNewId = nullptr;
    decltype(&::EVP_PKEY_CTX_free) pkeyCtxFree = nullptr;
    decltype(&::EVP_PKEY_keygen_init) keygenInit = nullptr;
    decltype(&::EVP_PKEY_keygen) keygen = nullptr;
    decltype(&::EVP_PKEY_new_raw_private_key) newRawPrivateKey = nullptr;
    decltype(&::EVP_PKEY_new_raw_public_key) newRawPublicKey = nullptr;
    decltype(&::EVP_PKEY_get_raw_private_key) getRawPrivateKey = nullptr;
    decltype(&::EVP_PKEY_get_raw_public_key) getRawPublicKey = nullptr;
    decltype(&::EVP_PKEY_free) pkeyFree = nullptr;
    decltype(&::EVP_DigestSignInit) digestSignInit = nullptr;
    decltype(&::EVP_DigestSign) digestSign = nullptr;
    decltype(&::EVP_DigestVerifyInit) digestVerifyInit = nullptr;
    decltype(&::EVP_DigestVerify) digestVerify = nullptr;

    // The library, loaded once for the process (thread-safe); nullptr with the reason in `error`
    // when it cannot be loaded.
    static const CryptoLibrary* Get(QString& error);
};
