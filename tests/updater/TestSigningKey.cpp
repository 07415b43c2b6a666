// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestSigningKey.h"

#include <openssl/evp.h>

void TestSigningKey::KeyFree::operator()(evp_pkey_st *key) const
{
    EVP_PKEY_free(key);
}

TestSigningKey::TestSigningKey()
    : m_key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"))
{}

TestSigningKey::~TestSigningKey() = default;

QByteArray TestSigningKey::publicKeyBase64() const
{
    QByteArray raw(32, '\0');
    size_t size = static_cast<size_t>(raw.size());
    if (EVP_PKEY_get_raw_public_key(m_key.get(), reinterpret_cast<unsigned char *>(raw.data()),
                                    &size) != 1 ||
        size != 32)
        return {};
    return raw.toBase64();
}

QByteArray TestSigningKey::signBase64(QByteArrayView message) const
{
    EVP_MD_CTX *context = EVP_MD_CTX_new();
    QByteArray signature(64, '\0');
    size_t size = static_cast<size_t>(signature.size());
    const bool signedOk =
        context != nullptr &&
        EVP_DigestSignInit(context, nullptr, nullptr, nullptr, m_key.get()) == 1 &&
        EVP_DigestSign(context, reinterpret_cast<unsigned char *>(signature.data()), &size,
                       reinterpret_cast<const unsigned char *>(message.data()),
                       static_cast<size_t>(message.size())) == 1;
    EVP_MD_CTX_free(context);
    return signedOk && size == 64 ? signature.toBase64() : QByteArray();
}
