// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ed25519Verifier.h"

#include <openssl/evp.h>

#include <memory>

namespace {

struct KeyFree
{
    void operator()(EVP_PKEY *key) const { EVP_PKEY_free(key); }
};

struct ContextFree
{
    void operator()(EVP_MD_CTX *context) const { EVP_MD_CTX_free(context); }
};

const unsigned char *bytes(QByteArrayView view)
{
    return reinterpret_cast<const unsigned char *>(view.data());
}

} // namespace

bool Ed25519Verifier::hasValidSizes(QByteArrayView publicKey, QByteArrayView signature)
{
    return publicKey.size() == publicKeySize && signature.size() == signatureSize;
}

bool Ed25519Verifier::verify(QByteArrayView publicKey, QByteArrayView signature,
                             QByteArrayView message)
{
    if (!hasValidSizes(publicKey, signature))
        return false;
    const std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_PKEY_new_raw_public_key(
        EVP_PKEY_ED25519, nullptr, bytes(publicKey), static_cast<size_t>(publicKey.size())));
    const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    if (!key || !context)
        return false;
    // Ed25519 hashes internally, so no digest is named and the message goes in one call.
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return false;
    // An empty view may have no data pointer; OpenSSL still wants a valid one.
    static const unsigned char nothing = 0;
    const unsigned char *data = message.isEmpty() ? &nothing : bytes(message);
    return EVP_DigestVerify(context.get(), bytes(signature), static_cast<size_t>(signature.size()),
                            data, static_cast<size_t>(message.size())) == 1;
}
