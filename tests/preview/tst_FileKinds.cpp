// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileKinds.h"
#include "MirelIcons.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestFileKinds final : public QObject
{
    Q_OBJECT

private slots:
    void classification_data();
    void classification();
};

void TestFileKinds::classification_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<bool>("zoomable");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("extension");

    const auto file = [](const QString &name) {
        return QUrl::fromLocalFile(u"/home/ann/"_s + name);
    };
    const QString doc = u"doc.fill"_s;
    const QString photo = u"photo.fill"_s;

    QTest::newRow("upper-case JPG is a photo")
        << file(u"Holiday.JPG"_s) << true << photo << u"jpg"_s;
    QTest::newRow("TIFF zooms but has the document symbol")
        << file(u"figure.TIFF"_s) << true << doc << u"tiff"_s;
    QTest::newRow("tif is not in the zoom list") << file(u"scan.tif"_s) << false << doc << u"tif"_s;
    QTest::newRow("only the last extension counts")
        << file(u"backup.tar.gz"_s) << false << u"doc.zipper"_s << u"gz"_s;
    QTest::newRow("disk image") << file(u"Installer.dmg"_s) << false << u"externaldrive.fill"_s
                                << u"dmg"_s;
    QTest::newRow("application folder with trailing slash")
        << QUrl::fromLocalFile(u"/home/ann/Downloads/Tool.app/"_s) << false << u"app.fill"_s
        << u"app"_s;
    QTest::newRow("upper-case M4A") << file(u"voice.M4A"_s) << false << u"music.note"_s << u"m4a"_s;
    QTest::newRow("no extension") << file(u"README"_s) << false << doc << QString();
    QTest::newRow("trailing dot") << file(u"notes."_s) << false << doc << QString();
    QTest::newRow("dot-file has no extension") << file(u".png"_s) << false << doc << QString();
    QTest::newRow("dot in a folder name only")
        << file(u"my.photos/holiday"_s) << false << doc << QString();
    QTest::newRow("percent-encoded characters in the URL")
        << file(u"100% sure #1.png"_s) << true << photo << u"png"_s;
    QTest::newRow("extension that only looks like an image")
        << file(u"image.png.txt"_s) << false << doc << u"txt"_s;
}

void TestFileKinds::classification()
{
    QFETCH(QUrl, url);
    QFETCH(bool, zoomable);
    QFETCH(QString, symbol);
    QFETCH(QString, extension);

    QCOMPARE(lowerCasedPathExtension(url), extension);
    QCOMPARE(isZoomableImage(url), zoomable);
    QCOMPARE(isZoomableImage(url.toLocalFile()), zoomable);
    QCOMPARE(iconName(url), symbol);
    QVERIFY(MirelIcons::symbolNames().contains(symbol));
}

QTEST_GUILESS_MAIN(TestFileKinds)
#include "tst_FileKinds.moc"
