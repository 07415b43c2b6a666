// SPDX-License-Identifier: GPL-3.0-or-later
#include "PathCodec.h"

namespace {

constexpr char16_t escapeBase = 0xDC00;

bool isEscapedByte(const char16_t *text, qsizetype i)
{
    const char16_t c = text[i];
    return c >= 0xDC80 && c <= 0xDCFF && (i == 0 || !QChar::isHighSurrogate(text[i - 1]));
}

// Length of the valid UTF-8 sequence at p[0..n), or 0 when it is not one.
int validSequenceLength(const unsigned char *p, qsizetype n)
{
    const unsigned char c = p[0];
    int length = 0;
    char32_t code = 0;
    char32_t minimum = 0;
    if ((c & 0xE0) == 0xC0) {
        length = 2, code = c & 0x1F, minimum = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3, code = c & 0x0F, minimum = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4, code = c & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (length > n)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[k] & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

QString PathCodec::decode(QByteArrayView bytes)
{
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);

    QString text;
    text.reserve(bytes.size());
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            text.append(QLatin1Char(char(p[i])));
            ++i;
            continue;
        }
        const int length = validSequenceLength(p + i, n - i);
        if (length == 0) {
            text.append(QChar(char16_t(escapeBase + p[i])));
            ++i;
            continue;
        }
        text.append(QString::fromUtf8(bytes.sliced(i, length)));
        i += length;
    }
    return text;
}

QByteArray PathCodec::encode(const QString &path)
{
    const auto *text = reinterpret_cast<const char16_t *>(path.utf16());
    const qsizetype n = path.size();
    qsizetype first = 0;
    while (first < n && !isEscapedByte(text, first))
        ++first;
    if (first == n)
        return path.toUtf8();

    QByteArray bytes;
    bytes.reserve(n * 2);
    qsizetype start = 0;
    for (qsizetype i = first; i < n; ++i) {
        if (!isEscapedByte(text, i))
            continue;
        bytes += QStringView(path).sliced(start, i - start).toUtf8();
        bytes += char(text[i] - escapeBase);
        start = i + 1;
    }
    bytes += QStringView(path).sliced(start).toUtf8();
    return bytes;
}

QString PathCodec::displayString(const QString &path)
{
    QString shown = path;
    const qsizetype n = shown.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = shown.at(i);
        if (c.isHighSurrogate() && i + 1 < n && shown.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            shown[i] = QChar::ReplacementCharacter;
    }
    return shown;
}
