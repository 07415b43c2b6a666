// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageDecoder.h"
#include "PreviewKind.h"
#include "TestHome.h"

#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

class TestImageDecoder final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void exifOrientation_data();
    void exifOrientation();
    void formats_data();
    void formats();
    void paletteColours_data();
    void paletteColours();
    void undecodable_data();
    void undecodable();
    void readableTypesAsQtGivesThem();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestImageDecoder::exifOrientation_data()
{
    QTest::addColumn<QSize>("bounds");
    QTest::addColumn<QSize>("decodedSize");
    QTest::newRow("at full size") << QSize() << QSize(80, 120);
    // The bounds apply to the upright picture, so a tall box gets a tall image that fills it.
    QTest::newRow("into a tall box") << QSize(40, 60) << QSize(40, 60);
}

void TestImageDecoder::exifOrientation()
{
    QFETCH(QSize, bounds);
    QFETCH(QSize, decodedSize);
    // Turned clockwise (6): Qt turns the pixels, Mirel has to swap the sizes of a quarter turn.
    const QString file = path(u"oriented.jpg"_s);
    QVERIFY(writeJpegWithOrientation(quadrantImage(QSize(120, 80)), file, 6));

    const ImageDecoder::Result result = ImageDecoder::decode(file, bounds);
    QCOMPARE(result.image.size(), decodedSize);
    QCOMPARE(result.fullSize, QSize(80, 120));
    // The file holds red, green / blue, yellow; upright, blue is at the top left.
    const QList<QColor> corners{Qt::blue, Qt::red, Qt::yellow, Qt::green};
    const QList<QColor> actual = quadrantColors(result.image);
    for (int i = 0; i < 4; ++i)
        QVERIFY2(roughlyEqual(actual[i], corners[i]),
                 qPrintable(u"corner %1 is %2, expected %3"_s.arg(i).arg(actual[i].name(),
                                                                         corners[i].name())));
}

void TestImageDecoder::formats_data()
{
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("bounds");
    QTest::addColumn<QSize>("decodedSize");
    const QSize small(64, 48), box(32, 32), half(32, 24);
    QTest::newRow("png") << QByteArray("png") << u"a.png"_s << small << box << half;
    QTest::newRow("png, never scaled up")
        << QByteArray("png") << u"small.png"_s << small << QSize(400, 300) << small;
    QTest::newRow("webp") << QByteArray("webp") << u"a.webp"_s << small << box << half;
    QTest::newRow("tiff") << QByteArray("tiff") << u"a.tif"_s << small << box << half;
    // No signature Mirel knows: Qt's plugins are asked in turn.
    QTest::newRow("bmp named .jpg") << QByteArray("bmp") << u"a.jpg"_s << small << box << half;
    QTest::newRow("JPEG named .png")
        << QByteArray("jpeg") << u"really-a-jpeg.png"_s << small << QSize() << small;
    // The whole photo made smaller, not a crop of its top left corner.
    QTest::newRow("big JPEG for the screen")
        << QByteArray("jpeg") << u"big.jpg"_s << QSize(4000, 3000) << QSize(400, 400)
        << QSize(400, 300);
    // Named .jpg on purpose: the decoder goes by the content, as the file managers do.
    QTest::newRow("HEIC named .jpg")
        << QByteArray("heic") << u"from-phone.jpg"_s << small << box << half;
}

void TestImageDecoder::formats()
{
    QFETCH(QByteArray, format);
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QSize, bounds);
    QFETCH(QSize, decodedSize);
    // Qt's image-format plugins are a dependency of Mirel: their absence is a fault, not a skip.
    if (format != "png" && format != "bmp" && format != "heic")
        QVERIFY2(QImageReader::supportedImageFormats().contains(format),
                 "Qt image-format plugin missing (qt6-image-formats-plugins)");
    const QString file = path(name);
    const QImage picture = quadrantImage(size);
    if (format == "heic") {
        // Qt does not write HEIC; libheif's encoder (libheif-examples) does.
        const QString program = QStandardPaths::findExecutable(u"heif-enc"_s);
        if (program.isEmpty())
            QSKIP("heif-enc is not installed; cannot make the sample");
        const QString source = path(u"source.png"_s);
        QVERIFY(writeImage(picture, source, "png"));
        QCOMPARE(QProcess::execute(program, {u"-q"_s, u"90"_s, source, u"-o"_s, file}), 0);
    } else {
        QVERIFY(writeImage(picture, file, format, 100));
    }
    const ImageDecoder::Result result = ImageDecoder::decode(file, bounds);
    QCOMPARE(result.fullSize, size);
    QCOMPARE(result.image.size(), decodedSize);
    const QList<QColor> actual = quadrantColors(result.image);
    QVERIFY(roughlyEqual(actual[0], Qt::red));
    QVERIFY(roughlyEqual(actual[1], Qt::green));
    QVERIFY(roughlyEqual(actual[2], Qt::blue));
    QVERIFY(roughlyEqual(actual[3], Qt::yellow));
}

void TestImageDecoder::paletteColours_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("bounds");
    QTest::addColumn<QSize>("decoded");
    QTest::newRow("logo for a thumbnail") << QSize(600, 400) << QSize(128, 128) << QSize(128, 85);
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
}

void TestImageDecoder::undecodable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("text named picture.png")
        << u"picture.png"_s << QByteArray("Hello, not a picture\n");
    QTest::newRow("empty file") << u"empty.jpg"_s << QByteArray();
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
        writeBytes(file, content);
    }
    const ImageDecoder::Result result = ImageDecoder::decode(file, QSize(100, 100));
    QVERIFY(result.image.isNull());
}

// Read from the plugins' metadata, as Qt does not say without loading every plugin.
void TestImageDecoder::readableTypesAsQtGivesThem()
{
    QSet<QString> fromQt;
    for (const QByteArray &type : QImageReader::supportedMimeTypes())
        fromQt.insert(QString::fromLatin1(type));
    QCOMPARE(readableImageTypes(), fromQt);
}

QTEST_GUILESS_MAIN(TestImageDecoder)
#include "tst_ImageDecoder.moc"
