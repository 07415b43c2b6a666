// SPDX-License-Identifier: GPL-3.0-or-later
#include "FontSample.h"
#include "TestHome.h"

#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString dejavu = u"/usr/share/fonts/truetype/dejavu/"_s;

QByteArray fontBytes(const QString &name)
{
    QFile file(dejavu + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The dark pixels in rows [from, to): how much of the font was drawn there.
int inkBetween(const QImage &image, int from, int to)
{
    int ink = 0;
    for (int y = from; y < to; ++y) {
        for (int x = 0; x < image.width(); ++x)
            ink += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    }
    return ink;
}

} // namespace

class TestFontSample : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void rendersAFontWithItsNames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("style");
        QTest::newRow("sans") << u"DejaVuSans.ttf"_s << u"DejaVu Sans"_s << u"Book"_s;
        QTest::newRow("serif bold") << u"DejaVuSerif-Bold.ttf"_s << u"DejaVu Serif"_s << u"Bold"_s;
        QTest::newRow("mono") << u"DejaVuSansMono.ttf"_s << u"DejaVu Sans Mono"_s << u"Book"_s;
    }
    void rendersAFontWithItsNames()
    {
        QFETCH(QString, file);
        QFETCH(QString, family);
        QFETCH(QString, style);
        const QByteArray bytes = fontBytes(file);
        QVERIFY2(!bytes.isEmpty(), "fonts-dejavu-core is not installed");

        const FontSample::Sample sample = FontSample::render(bytes, QSize(256, 256));
        QCOMPARE(sample.family, family);
        QCOMPARE(sample.style, style);
        QCOMPARE(sample.image.size(), QSize(256, 256));
        // Ink in both halves (the name and pangram above, the rest of it and the digits
        // below), and nothing drawn past the right edge's margin.
        QVERIFY(inkBetween(sample.image, 0, 128) > 500);
        QVERIFY(inkBetween(sample.image, 128, 256) > 500);
        for (int y = 0; y < 256; ++y)
            QVERIFY(qGray(sample.image.pixel(255, y)) > 200);
    }

    // Drawn with the file's own glyphs: two fonts give two different pictures, and a font
    // file read through a descriptor gives the same as its bytes.
    void drawsWithTheFontItself()
    {
        const QImage sans = FontSample::render(fontBytes(u"DejaVuSans.ttf"_s), {300, 200}).image;
        const QImage serif = FontSample::render(fontBytes(u"DejaVuSerif.ttf"_s), {300, 200}).image;
        QVERIFY(!sans.isNull() && !serif.isNull());
        QVERIFY(sans != serif);
        const QImage bold =
            FontSample::render(fontBytes(u"DejaVuSans-Bold.ttf"_s), {300, 200}).image;
        QVERIFY(inkBetween(bold, 0, 200) > inkBetween(sans, 0, 200));

        const int fd =
            ::open(QFile::encodeName(dejavu + u"DejaVuSans.ttf"_s).constData(), O_RDONLY);
        QVERIFY(fd >= 0);
        QCOMPARE(::lseek(fd, 100, SEEK_SET), 100);
        const FontSample::Sample fromFd = FontSample::render(fd, {300, 200});
        ::close(fd);
        QCOMPARE(fromFd.image, sans);
    }

    void noFontGivesNoPicture_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("garbage")
            << QByteArray("this is not a font, whatever its name says").repeated(50);
        QTest::newRow("empty") << QByteArray();
        QByteArray header = fontBytes(u"DejaVuSans.ttf"_s).left(2000);
        QTest::newRow("only the start of a real font") << header;
        QByteArray scrambled = fontBytes(u"DejaVuSans.ttf"_s);
        for (qsizetype i = 12; i < scrambled.size(); i += 3)
            scrambled[i] = char(0xff);
        QTest::newRow("a real font's tables overwritten") << scrambled;
    }
    void noFontGivesNoPicture()
    {
        QFETCH(QByteArray, bytes);
        const FontSample::Sample sample = FontSample::render(bytes, {256, 256});
        QVERIFY(sample.image.isNull());
    }
};

QTEST_MAIN(TestFontSample)
#include "tst_FontSample.moc"
