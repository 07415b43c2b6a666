// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// File names on Linux are bytes, not text. Names that are not valid UTF-8 are carried in a
// QString losslessly: every byte that does not decode becomes a lone low surrogate
// U+DC80..U+DCFF ("surrogate escape"), and encode() turns it back into that exact byte.
namespace PathCodec {

QString decode(QByteArrayView bytes);
QByteArray encode(const QString &path);

// The text to show a person: escaped bytes read as U+FFFD.
QString displayString(const QString &path);

} // namespace PathCodec
