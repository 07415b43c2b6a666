// SPDX-License-Identifier: GPL-3.0-or-later
#include "DownloadFileName.h"

#include "FileNames.h"

using namespace Qt::StringLiterals;

namespace {

// An extension longer than this is not one worth keeping whole when the name is cut.
constexpr qsizetype maxExtensionBytes = 24;

// Characters that draw nothing or reorder what is drawn, so they could hide or disguise a
// part of the name (an extension above all): controls, format characters such as the
// bidirectional overrides, zero-width spaces and joiners, and the other default-ignorable
// code points; also unassigned ones and line or paragraph separators.
bool isInvisible(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        break;
    }
    return c == 0x034F || c == 0x115F || c == 0x1160 || c == 0x17B4 || c == 0x17B5 ||
           (c >= 0x180B && c <= 0x180F) || c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F) ||
           c == 0xFFA0 || (c >= 0xE0000 && c <= 0xE0FFF);
}

// The longest start of text, whole code points only, that fits in budget UTF-8 bytes.
QString cutToBytes(const QString &text, qsizetype budget)
{
    qsizetype used = 0;
    qsizetype end = 0;
    for (const char32_t c : QStringView(text).toUcs4()) {
        const qsizetype bytes = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (used + bytes > budget)
            break;
        used += bytes;
        end += c < 0x10000 ? 1 : 2;
    }
    return text.left(end);
}

} // namespace

QString DownloadFileName::fromUrl(const QUrl &url)
{
    QString name;
    for (const char32_t c : url.fileName(QUrl::FullyDecoded).toUcs4()) {
        if (c == u'/' || c == u'\\' || isInvisible(c))
            continue;
        name += QString::fromUcs4(&c, 1);
    }
    // Every run of white space becomes one plain space, and the name starts with neither a
    // space nor a dot: cleaning must never end in a hidden name.
    name = name.simplified();
    qsizetype start = 0;
    while (start < name.size() && (name.at(start) == u'.' || name.at(start).isSpace()))
        ++start;
    name.remove(0, start);
    if (name.isEmpty())
        return u"Mirel-update"_s;
    if (name.toUtf8().size() <= maxBytes)
        return name;
    // Too long: the stem is cut at a character boundary and the extension kept.
    qsizetype dot = name.size() - FileNames::clashSuffix(name).size();
    if (name.mid(dot).toUtf8().size() > maxExtensionBytes)
        dot = name.size();
    const QString extension = name.mid(dot);
    return cutToBytes(name.left(dot), maxBytes - extension.toUtf8().size()).trimmed() + extension;
}
