// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

struct evp_pkey_st;

// A fresh Ed25519 key pair made with OpenSSL, to sign test downloads.
class TestSigningKey final
{
public:
    TestSigningKey();
    ~TestSigningKey();

    bool isValid() const { return m_key != nullptr; }
    QByteArray publicKeyBase64() const;
    QByteArray signBase64(QByteArrayView message) const;

private:
    struct KeyFree
    {
        void operator()(evp_pkey_st *key) const;
    };
    std::unique_ptr<evp_pkey_st, KeyFree> m_key;
};
