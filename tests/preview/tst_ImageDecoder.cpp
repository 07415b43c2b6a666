// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageDecoder.h"
#include "TestHome.h"

#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

class TestImageDecoder final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useTemporaryHome(); }

private slots:
    void exifOrientation_data();
    void exifOrientation();
    void boundedDecodeOfRotatedPhoto();
    void bigJpegDecodedAtTheRequestedSize();
    void neverScaledUp();
    void formats_data();
    void formats();
    void nameThatLiesAboutTheFormat();
    void paletteColours_data();
    void paletteColours();
    void undecodable_data();
    void undecodable();
    void heic();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestImageDecoder::exifOrientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("uprightSize");
    // Expected colours at top left, top right, bottom left, bottom right once upright; the file
    // holds red, green / blue, yellow.
    QTest::addColumn<QList<QColor>>("corners");

    const QColor r = Qt::red, g = Qt::green, b = Qt::blue, y = Qt::yellow;
    QTest::newRow("1 as stored") << 1 << QSize(120, 80) << QList<QColor>{r, g, b, y};
    QTest::newRow("2 mirrored") << 2 << QSize(120, 80) << QList<QColor>{g, r, y, b};
    QTest::newRow("3 upside down") << 3 << QSize(120, 80) << QList<QColor>{y, b, g, r};
    QTest::newRow("6 turned clockwise") << 6 << QSize(80, 120) << QList<QColor>{b, r, y, g};
    QTest::newRow("8 turned anticlockwise") << 8 << QSize(80, 120) << QList<QColor>{g, y, r, b};
}

void TestImageDecoder::exifOrientation()
{
    QFETCH(int, orientation);
    QFETCH(QSize, uprightSize);
    QFETCH(QList<QColor>, corners);

    const QString file = path(u"oriented-%1.jpg"_s.arg(orientation));
    QVERIFY(writeJpegWithOrientation(quadrantImage(QSize(120, 80)), file, quint16(orientation)));

    const ImageDecoder::Result result = ImageDecoder::decode(file);
    QCOMPARE(result.image.size(), uprightSize);
    QCOMPARE(result.fullSize, uprightSize);
    const QList<QColor> actual = quadrantColors(result.image);
    for (int i = 0; i < 4; ++i)
        QVERIFY2(roughlyEqual(actual[i], corners[i]),
                 qPrintable(u"corner %1 is %2, expected %3"_s.arg(i).arg(actual[i].name(),
                                                                         corners[i].name())));
}

void TestImageDecoder::boundedDecodeOfRotatedPhoto()
{
    // A portrait photo stored landscape with "turn clockwise": the bounds apply to the upright
    // picture, so a tall box gets a tall image that fills it.
    const QString file = path(u"portrait.jpg"_s);
    QVERIFY(writeJpegWithOrientation(quadrantImage(QSize(600, 400)), file, 6));

    const ImageDecoder::Result result = ImageDecoder::decode(file, QSize(200, 300));
    QCOMPARE(result.fullSize, QSize(400, 600));
    QCOMPARE(result.image.size(), QSize(200, 300));
    const QList<QColor> actual = quadrantColors(result.image);
    QVERIFY(roughlyEqual(actual[0], Qt::blue));
    QVERIFY(roughlyEqual(actual[1], Qt::red));
}

void TestImageDecoder::bigJpegDecodedAtTheRequestedSize()
{
    const QString file = path(u"big.jpg"_s);
    QVERIFY(writeImage(photoLikeImage(QSize(4000, 3000)), file, "jpeg", 85));

    const ImageDecoder::Result screen = ImageDecoder::decode(file, QSize(400, 400));
    QCOMPARE(screen.fullSize, QSize(4000, 3000));
    QCOMPARE(screen.image.size(), QSize(400, 300));
    // The scaled picture is the photo, not a crop of it: its right edge is the photo's red end.
    QVERIFY(screen.image.pixelColor(398, 150).red() > 230);
    QVERIFY(screen.image.pixelColor(1, 150).red() < 25);

    const ImageDecoder::Result full = ImageDecoder::decode(file);
    QCOMPARE(full.image.size(), QSize(4000, 3000));
}

void TestImageDecoder::neverScaledUp()
{
    const QString file = path(u"small.png"_s);
    QVERIFY(writeImage(quadrantImage(QSize(50, 40)), file, "png"));
    const ImageDecoder::Result result = ImageDecoder::decode(file, QSize(400, 300));
    QCOMPARE(result.image.size(), QSize(50, 40));
    QCOMPARE(result.fullSize, QSize(50, 40));
}

void TestImageDecoder::formats_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QString>("name");
    QTest::newRow("png") << QByteArray("png") << u"a.png"_s;
    QTest::newRow("gif") << QByteArray("gif") << u"a.gif"_s;
    QTest::newRow("bmp") << QByteArray("bmp") << u"a.bmp"_s;
    QTest::newRow("webp") << QByteArray("webp") << u"a.webp"_s;
    QTest::newRow("tiff") << QByteArray("tiff") << u"a.tiff"_s;
}

void TestImageDecoder::formats()
{
    QFETCH(QByteArray, format);
    QFETCH(QString, name);
    // Qt's image-format plugins are a dependency of Mirel: their absence is a fault, not a skip.
    if (format != "png" && format != "bmp")
        QVERIFY2(QImageReader::supportedImageFormats().contains(format),
                 "Qt image-format plugin missing (qt6-image-formats-plugins)");
    const QString file = path(name);
    if (format == "gif") {
        // Qt reads GIF but cannot write it; ImageMagick makes the sample.
        const QString convert = QStandardPaths::findExecutable(u"convert"_s);
        if (convert.isEmpty())
            QSKIP("ImageMagick's convert is not installed; cannot make a GIF");
        const QString source = path(u"gif-source.png"_s);
        QVERIFY(writeImage(quadrantImage(QSize(64, 48)), source, "png"));
        QCOMPARE(QProcess::execute(convert, {source, file}), 0);
    } else {
        QVERIFY(writeImage(quadrantImage(QSize(64, 48)), file, format, 100));
    }
    const ImageDecoder::Result result = ImageDecoder::decode(file, QSize(32, 32));
    QCOMPARE(result.fullSize, QSize(64, 48));
    QCOMPARE(result.image.size(), QSize(32, 24));
    const QList<QColor> actual = quadrantColors(result.image);
    QVERIFY(roughlyEqual(actual[0], Qt::red));
    QVERIFY(roughlyEqual(actual[3], Qt::yellow));
}

void TestImageDecoder::nameThatLiesAboutTheFormat()
{
    const QString file = path(u"really-a-jpeg.png"_s);
    QVERIFY(writeImage(quadrantImage(QSize(64, 48)), file, "jpeg"));
    QCOMPARE(ImageDecoder::decode(file).image.size(), QSize(64, 48));
}

void TestImageDecoder::paletteColours_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("bounds");
    QTest::addColumn<QSize>("decoded");
    QTest::newRow("logo for a thumbnail") << QSize(600, 400) << QSize(128, 128) << QSize(128, 85);
    QTest::newRow("logo at full size") << QSize(600, 400) << QSize() << QSize(600, 400);
    QTest::newRow("5 x 5000 strip for a thumbnail")
        << QSize(5, 5000) << QSize(128, 128) << QSize(1, 128);
}

void TestImageDecoder::paletteColours()
{
    QFETCH(QSize, size);
    QFETCH(QSize, bounds);
    QFETCH(QSize, decoded);
    const QColor red(220, 20, 20);
    const QString file = path(u"palette.png"_s);
    QVERIFY(writeImage(paletteImage(size, red), file, "png"));
    QCOMPARE(QImageReader(file).imageFormat(), QImage::Format_Mono);

    const ImageDecoder::Result result = ImageDecoder::decode(file, bounds);
    QCOMPARE(result.image.size(), decoded);
    const QColor middle = result.image.pixelColor(decoded.width() / 2, decoded.height() / 2);
    QVERIFY2(roughlyEqual(middle, red), qPrintable(middle.name()));
    if (decoded.width() > 1)
        QVERIFY(roughlyEqual(result.image.pixelColor(0, 0), Qt::white));
}

void TestImageDecoder::undecodable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text named picture.png")
        << u"picture.png"_s << QByteArray("Hello, not a picture\n");
    QTest::newRow("empty file") << u"empty.jpg"_s << QByteArray();
    QTest::newRow("truncated PNG header") << u"cut.png"_s << QByteArray("\x89PNG\r\n\x1a\n", 8);
    QTest::newRow("text named .heic") << u"notes.heic"_s << QByteArray("not a HEIF file at all");
    QTest::newRow("missing file") << u"absent.png"_s << QByteArray("(not written)");
    // Neither may be read at all: one waits for ever for a writer, the other never ends.
    QTest::newRow("named pipe") << u"pipe.png"_s << QByteArray("(pipe)");
    QTest::newRow("link to /dev/zero") << u"zero.png"_s << QByteArray("(/dev/zero)");
    QTest::newRow("50000 x 50000 PNG, over the allocation limit")
        << u"huge.png"_s << hugePngHeader(50000, 50000);
}

void TestImageDecoder::undecodable()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    const QString file = path(name);
    if (content == "(pipe)") {
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    } else if (content == "(/dev/zero)") {
        QVERIFY(QFile::link(u"/dev/zero"_s, file));
    } else if (content != "(not written)") {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(content);
    }
    const ImageDecoder::Result result = ImageDecoder::decode(file, QSize(100, 100));
    QVERIFY(result.image.isNull());
}

void TestImageDecoder::heic()
{
    const QString encoder = QStandardPaths::findExecutable(u"heif-enc"_s);
    if (encoder.isEmpty())
        QSKIP("heif-enc (Debian package libheif-examples) is not installed; cannot make a HEIC");
    const QString source = path(u"heic-source.png"_s);
    QVERIFY(writeImage(quadrantImage(QSize(320, 240)), source, "png"));
    // Named .jpg on purpose: the decoder goes by the content, as the file managers do.
    const QString file = path(u"from-phone.jpg"_s);
    QProcess process;
    process.start(encoder, {u"-q"_s, u"90"_s, source, u"-o"_s, file});
    QVERIFY(process.waitForFinished(60000));
    if (process.exitCode() != 0)
        QSKIP(qPrintable(u"heif-enc has no HEVC encoder here: "_s +
                         QString::fromLocal8Bit(process.readAllStandardError()).trimmed()));

    QVERIFY(ImageDecoder::isHeif(file));
    QVERIFY(!ImageDecoder::isHeif(source));
    const ImageDecoder::Result full = ImageDecoder::decode(file);
    QCOMPARE(full.fullSize, QSize(320, 240));
    QCOMPARE(full.image.size(), QSize(320, 240));
    const QList<QColor> actual = quadrantColors(full.image);
    QVERIFY(roughlyEqual(actual[0], Qt::red));
    QVERIFY(roughlyEqual(actual[1], Qt::green));
    QVERIFY(roughlyEqual(actual[2], Qt::blue));
    QVERIFY(roughlyEqual(actual[3], Qt::yellow));

    const ImageDecoder::Result small = ImageDecoder::decode(file, QSize(80, 80));
    QCOMPARE(small.fullSize, QSize(320, 240));
    QCOMPARE(small.image.size(), QSize(80, 60));
}

QTEST_GUILESS_MAIN(TestImageDecoder)
#include "tst_ImageDecoder.moc"
