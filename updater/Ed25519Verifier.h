#pragma once

#include <QByteArrayView>

// Checks an Ed25519 signature with OpenSSL.
class Ed25519Verifier final
{
public:
    static constexpr qsizetype publicKeySize = 32;
    static constexpr qsizetype signatureSize = 64;

    // True only when signature is a valid signature of message by publicKey (raw bytes).
    static bool verify(QByteArrayView publicKey, QByteArrayView signature, QByteArrayView message);
};
