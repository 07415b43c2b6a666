// SPDX-License-Identifier: GPL-3.0-or-later
#include "FontSample.h"

#include <QGlyphRun>
#include <QMimeType>
#include <QPainter>
#include <QRawFont>

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 largestFont = qint64(32) << 20;

struct Line
{
    QString text;
    qreal share; // of the height of the sample's lines
};

// Glyphs laid out along one line, with the font's own advances.
QGlyphRun layOut(const QRawFont &font, const QString &text, qreal &width)
{
    const QList<quint32> glyphs = font.glyphIndexesForString(text);
    const QList<QPointF> advances = font.advancesForGlyphIndexes(glyphs);
    QList<QPointF> positions;
    positions.reserve(glyphs.size());
    QPointF pen;
    for (const QPointF &advance : advances) {
        positions.append(pen);
        pen += advance;
    }
    width = pen.x();
    QGlyphRun run;
    run.setRawFont(font);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    return run;
}

QByteArray readAll(int fd)
{
    struct stat attributes = {};
    if (fstat(fd, &attributes) != 0 || !S_ISREG(attributes.st_mode) || attributes.st_size <= 0 ||
        attributes.st_size > largestFont)
        return QByteArray();
    QByteArray bytes(qsizetype(attributes.st_size), Qt::Uninitialized);
    qsizetype filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got =
            pread(fd, bytes.data() + filled, size_t(bytes.size() - filled), off_t(filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        filled += got;
    }
    bytes.truncate(filled);
    return bytes;
}

} // namespace

bool FontSample::handles(const QMimeType &mime)
{
    for (const QString &font : {u"font/ttf"_s, u"font/otf"_s, u"font/collection"_s, u"font/woff"_s,
                                u"font/woff2"_s, u"application/x-font-type1"_s}) {
        if (mime.inherits(font))
            return true;
    }
    return false;
}

FontSample::Sample FontSample::render(const QByteArray &fontData, const QSize &size)
{
    Sample sample;
    if (size.isEmpty())
        return sample;
    QRawFont font(fontData, 100);
    if (!font.isValid() || font.familyName().isEmpty())
        return sample;
    sample.family = font.familyName();
    sample.style = font.styleName();

    const QString name =
        sample.style.isEmpty() ? sample.family : sample.family + u' ' + sample.style;
    const QList<Line> lines = {{name, 0.8},
                               {u"The quick brown fox"_s, 1.0},
                               {u"jumps over the lazy dog"_s, 1.0},
                               {u"0123456789"_s, 1.0}};
    // Each line as large as its share of the height allows, and never wider than the picture.
    const qreal margin = std::max<qreal>(2, size.width() / 20.0);
    const qreal room = size.width() - 2 * margin;
    qreal shares = 0;
    for (const Line &line : lines)
        shares += line.share;
    const qreal unit = (size.height() - 2 * margin) / shares / 1.25;

    // Each line as large as its share of the height allows and never wider than the picture;
    // the sample lines share one size, the name is no larger, and the block is centred.
    QList<qreal> pixels;
    for (const Line &line : lines) {
        font.setPixelSize(100);
        qreal width = 0;
        layOut(font, line.text, width);
        pixels.append(width > 0 ? std::min(unit * line.share, 100 * room / width)
                                : unit * line.share);
    }
    const qreal sampleSize = *std::min_element(pixels.cbegin() + 1, pixels.cend());
    pixels[0] = std::min(pixels[0], sampleSize);
    for (qsizetype i = 1; i < pixels.size(); ++i)
        pixels[i] = sampleSize;
    qreal blockHeight = 0;
    for (const qreal line : pixels)
        blockHeight += line * 1.25;

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(0x20, 0x20, 0x20));
    qreal top = (size.height() - blockHeight) / 2;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        font.setPixelSize(std::max<qreal>(pixels.at(i), 1));
        qreal width = 0;
        const QGlyphRun run = layOut(font, lines.at(i).text, width);
        const qreal lineHeight = pixels.at(i) * 1.25;
        painter.drawGlyphRun(QPointF(margin, top + font.ascent() +
                                                 (lineHeight - font.ascent() - font.descent()) / 2),
                             run);
        top += lineHeight;
    }
    painter.end();
    sample.image = std::move(image);
    return sample;
}

FontSample::Sample FontSample::render(int fd, const QSize &size)
{
    const QByteArray bytes = readAll(fd);
    return bytes.isEmpty() ? Sample() : render(bytes, size);
}
