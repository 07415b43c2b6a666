// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <openssl/evp.h>

#include <memory>

// A fresh Ed25519 key pair made with OpenSSL, to sign test downloads.
class TestSigningKey final
{
public:
    QByteArray publicKeyBase64() const
    {
        QByteArray raw(32, '\0');
        size_t size = 32;
        const bool ok = EVP_PKEY_get_raw_public_key(
                            m_key.get(), reinterpret_cast<unsigned char *>(raw.data()), &size) == 1;
        return ok && size == 32 ? raw.toBase64() : QByteArray();
    }

    QByteArray signBase64(QByteArrayView message) const
    {
        const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                              &EVP_MD_CTX_free);
        QByteArray signature(64, '\0');
        size_t size = 64;
        const bool ok =
            context &&
            EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, m_key.get()) == 1 &&
            EVP_DigestSign(context.get(), reinterpret_cast<unsigned char *>(signature.data()),
                           &size, reinterpret_cast<const unsigned char *>(message.data()),
                           static_cast<size_t>(message.size())) == 1;
        return ok && size == 64 ? signature.toBase64() : QByteArray();
    }

private:
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> m_key{
        EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), &EVP_PKEY_free};
};
