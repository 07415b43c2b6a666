#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;

// Called from each suite's initMain(): HOME and the XDG folders of the whole test process point
// into one temporary folder, so nothing a test (or a library under it) writes reaches the user's.
inline void useTemporaryHome()
{
    static QTemporaryDir home;
    const QByteArray path = QFile::encodeName(home.path());
    qputenv("HOME", path);
    qputenv("XDG_CACHE_HOME", path + "/.cache");
    qputenv("XDG_CONFIG_HOME", path + "/.config");
    qputenv("XDG_DATA_HOME", path + "/.local/share");
    qputenv("XDG_RUNTIME_DIR", path + "/runtime");
    QDir().mkpath(home.path() + u"/runtime"_s);
    QFile::setPermissions(home.path() + u"/runtime"_s,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Writes `data` to `path`, failing the calling test when that does not work.
inline void writeBytes(const QString &path, const QByteArray &data)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(data), data.size());
}

// Four quadrants in clearly different colours, so orientation and mirroring can be read back.
inline QImage quadrantImage(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    const int halfWidth = size.width() / 2;
    const int halfHeight = size.height() / 2;
    QPainter painter(&image);
    painter.fillRect(0, 0, halfWidth, halfHeight, Qt::red);
    painter.fillRect(halfWidth, 0, size.width() - halfWidth, halfHeight, Qt::green);
    painter.fillRect(0, halfHeight, halfWidth, size.height() - halfHeight, Qt::blue);
    painter.fillRect(halfWidth, halfHeight, size.width() - halfWidth, size.height() - halfHeight,
                     Qt::yellow);
    return image;
}

// A picture with detail everywhere, which compresses like a photo rather than like a flat fill.
inline QImage photoLikeImage(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb((x * 255) / size.width(), (y * 255) / size.height(), ((x ^ y) & 0xff));
    }
    return image;
}

inline bool writeImage(const QImage &image, const QString &path, const QByteArray &format,
                       int quality = 90)
{
    QImageWriter writer(path, format);
    writer.setQuality(quality);
    return writer.write(image);
}

// A JPEG with an EXIF APP1 segment that holds only the orientation tag (1 to 8), put right after
// the start-of-image marker as cameras do.
inline bool writeJpegWithOrientation(const QImage &image, const QString &path, quint16 orientation)
{
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "JPEG", 95))
            return false;
    }
    QByteArray tiff("MM\0\x2a\0\0\0\x08", 8);          // big endian, first directory at offset 8
    tiff += QByteArray("\0\x01", 2);                   // one entry
    tiff += QByteArray("\x01\x12\0\x03\0\0\0\x01", 8); // Orientation, SHORT, count 1
    tiff += char(orientation >> 8);
    tiff += char(orientation & 0xff);
    tiff += QByteArray(2, '\0');
    tiff += QByteArray(4, '\0'); // no next directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const quint16 length = quint16(payload.size() + 2);
    QByteArray segment("\xff\xe1", 2);
    segment += char(length >> 8);
    segment += char(length & 0xff);
    segment += payload;
    jpeg.insert(2, segment);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size();
}

// A two-colour palette picture (1 bit per pixel, as `convert -type palette -depth 1` writes
// it): white with a filled ellipse of `color` touching the middle of each edge.
inline QImage paletteImage(const QSize &size, const QColor &color)
{
    QImage image(size, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), color.rgb()});
    image.fill(0);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(color));
    painter.drawEllipse(QRect(QPoint(0, 0), size));
    return image;
}

// The start of a PNG that says it is width x height RGBA pixels: signature, a valid IHDR and
// the start of the image data.
inline QByteArray hugePngHeader(quint32 width, quint32 height)
{
    QByteArray chunk("IHDR");
    for (const quint32 value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            chunk += char((value >> shift) & 0xff);
    chunk += QByteArray("\x08\x06\0\0\0", 5); // 8 bits, RGBA, no interlace
    quint32 crc = 0xffffffffu;
    for (const char c : chunk) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xffffffffu;
    QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\x0d", 12);
    png += chunk;
    for (int shift = 24; shift >= 0; shift -= 8)
        png += char((crc >> shift) & 0xff);
    // The image data begins; a decoder has to decide on the size before reading any of it.
    return png + QByteArray("\0\0\0\x40IDAT", 8) + QByteArray(68, '\0');
}

// Colour distance small enough to survive JPEG and HEIC compression at the middle of a quadrant.
inline bool roughlyEqual(QColor actual, QColor expected, int tolerance = 60)
{
    return qAbs(actual.red() - expected.red()) <= tolerance &&
           qAbs(actual.green() - expected.green()) <= tolerance &&
           qAbs(actual.blue() - expected.blue()) <= tolerance;
}

// The colours at the middle of the four quadrants: top left, top right, bottom left, bottom right.
inline QList<QColor> quadrantColors(const QImage &image)
{
    const int w = image.width();
    const int h = image.height();
    return {image.pixelColor(w / 4, h / 4), image.pixelColor(3 * w / 4, h / 4),
            image.pixelColor(w / 4, 3 * h / 4), image.pixelColor(3 * w / 4, 3 * h / 4)};
}
