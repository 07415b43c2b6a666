// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>

// Checks an Ed25519 signature with OpenSSL.
namespace Ed25519Verifier {

inline constexpr qsizetype publicKeySize = 32;
inline constexpr qsizetype signatureSize = 64;

// Whether the key and the signature have Ed25519's sizes; verify() refuses anything else
// before OpenSSL sees it.
bool hasValidSizes(QByteArrayView publicKey, QByteArrayView signature);

// True only when signature is a valid signature of message by publicKey (raw bytes).
bool verify(QByteArrayView publicKey, QByteArrayView signature, QByteArrayView message);

} // namespace Ed25519Verifier
