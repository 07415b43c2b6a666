// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the release-notes cleaner: whatever the feed's notes hold, what comes
// out is plain text, escaped, and only the tags the cleaner allows, without attributes but a
// link's https address.
#include "ReleaseNotesHtml.h"

#include <QRegularExpression>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

bool isAllowedTag(QStringView tag)
{
    static const QRegularExpression allowed(
        uR"(^(/?(p|br|hr|h[1-6]|ul|ol|li|dl|dt|dd|b|i|u|s|em|strong|code|pre|tt|kbd|sub|sup|)"
        uR"(small|span|div|blockquote|a)|a href="https://[^"<>\s]+")$)"_s);
    return allowed.match(tag.toString()).hasMatch();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // Inputs starting with an even byte are read as UTF-16 as they are, so lone surrogates
    // reach the cleaner too; the others as UTF-8, as the feed parser hands them on.
    QString notes;
    if (size >= 2 && data[0] % 2 == 0) {
        notes.resize(qsizetype(size - 1) / 2);
        std::memcpy(notes.data(), data + 1, std::size_t(notes.size()) * sizeof(QChar));
    } else {
        notes = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    }
    const QString out = ReleaseNotesHtml::sanitised(notes);
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out[i] == u'>')
            std::abort(); // a '>' outside a tag
        if (out[i] != u'<')
            continue;
        const qsizetype end = out.indexOf(u'>', i);
        if (end < 0 || !isAllowedTag(QStringView(out).sliced(i + 1, end - i - 1)))
            std::abort();
        i = end;
    }
    return 0;
}
