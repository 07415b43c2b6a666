// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileNames.h"
#include "PathCodec.h"
#include "TestHome.h"
#include "TrackedFile.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestNames final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void pathBytesRoundTrip_data();
    void pathBytesRoundTrip();
    void nameParts_data();
    void nameParts();
    void clashNames_data();
    void clashNames();
    void sourceFolderName_data();
    void sourceFolderName();
};

void TestNames::pathBytesRoundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");

    QTest::newRow("truncated sequence") << QByteArray("/x/a\xe2\x82") << u"/x/a\uFFFD\uFFFD"_s;
    QTest::newRow("overlong slash") << QByteArray("/x/\xc0\xaf") << u"/x/\uFFFD\uFFFD"_s;
    QTest::newRow("encoded surrogate")
        << QByteArray("/x/\xed\xb2\x80") << u"/x/\uFFFD\uFFFD\uFFFD"_s;
    QTest::newRow("emoji then bad byte")
        << QByteArray("/x/\xf0\x9f\x93\x84\xff") << u"/x/\U0001F4C4\uFFFD"_s;
    QTest::newRow("every high byte") << [] {
        QByteArray all("/x/");
        for (int b = 0x80; b <= 0xff; ++b)
            all.append(char(b));
        return all;
    }() << u"/x/"_s + QString(0x80, QChar::ReplacementCharacter);
}

void TestNames::pathBytesRoundTrip()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);

    const QString carried = PathCodec::decode(bytes);
    QCOMPARE(PathCodec::encode(carried), bytes);
    QCOMPARE(PathCodec::displayString(carried), shown);
}

void TestNames::nameParts_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QString>("extension");

    QTest::newRow("dot-file") << u"/h/.bashrc"_s << u".bashrc"_s << u"/h"_s << QString();
    QTest::newRow("two dots") << u"/h/archive.tar.gz"_s << u"archive.tar.gz"_s << u"/h"_s
                              << u"gz"_s;
    QTest::newRow("trailing dot") << u"/h/name."_s << u"name."_s << u"/h"_s << QString();
    QTest::newRow("at the root") << u"/x.txt"_s << u"x.txt"_s << u"/"_s << u"txt"_s;
}

void TestNames::nameParts()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QFETCH(QString, parent);
    QFETCH(QString, extension);

    QCOMPARE(FileNames::fileName(path), name);
    QCOMPARE(FileNames::parentPath(path), parent);
    QCOMPARE(FileNames::extension(name), extension);
}

void TestNames::clashNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("counter");
    QTest::addColumn<QString>("expected");

    QTest::newRow("extension") << u"report.pdf"_s << 1 << u"report (1).pdf"_s;
    QTest::newRow("counter zero") << u"Mirel.AppImage"_s << 0 << u"Mirel.AppImage"_s;
    QTest::newRow("tarball") << u"archive.tar.gz"_s << 3 << u"archive (3).tar.gz"_s;
    QTest::newRow("upper-case tarball") << u"Setup.TAR.XZ"_s << 1 << u"Setup (1).TAR.XZ"_s;
    QTest::newRow("hidden tarball") << u".tar.gz"_s << 1 << u".tar (1).gz"_s;
    QTest::newRow("no extension, no trailing dot") << u"notes"_s << 1 << u"notes (1)"_s;
    // 252 bytes: the stem gives way by whole two-byte characters; the tarball's suffix stays.
    QTest::newRow("long stem") << QString(124, u'é') + u".txt"_s << 1
                               << QString(123, u'é') + u" (1).txt"_s;
    // Four-byte characters, two UTF-16 units each: one goes whole, never half of it.
    QTest::newRow("long emoji stem")
        << QString(62, u'x').replace(u"x"_s, u"\U0001F600"_s) + u".txt"_s << 1
        << QString(61, u'x').replace(u"x"_s, u"\U0001F600"_s) + u" (1).txt"_s;
    QTest::newRow("long tarball stem")
        << QString(245, u'a') + u".tar.gz"_s << 999 << QString(242, u'a') + u" (999).tar.gz"_s;
    // 255 bytes, nearly all extension: no room for the counter unless the extension gives way.
    QTest::newRow("long extension")
        << u"a."_s + QString(253, u'x') << 1 << u"a."_s + QString(249, u'x') + u" (1)"_s;
}

void TestNames::clashNames()
{
    QFETCH(QString, name);
    QFETCH(int, counter);
    QFETCH(QString, expected);
    QCOMPARE(FileNames::clashName(name, counter), expected);
}

void TestNames::sourceFolderName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("label");

    QTest::newRow("custom folder") << u"/mnt/Data/Projects/plan.txt"_s << u"Projects"_s;
    QTest::newRow("old downloads") << u"/srv/Old Downloads/a"_s << u"Downloads"_s;
    QTest::newRow("desktop wins") << u"/Downloads/Desktop/a"_s << u"Desktop"_s;
    QTest::newRow("lower case is a name") << u"/home/a/desktop/a"_s << u"desktop"_s;
    QTest::newRow("word in the file name only") << u"/home/a/Work/Desktop.png"_s << u"Work"_s;
}

void TestNames::sourceFolderName()
{
    QFETCH(QString, path);
    QFETCH(QString, label);
    QCOMPARE((TrackedFile{QUuid::createUuid(), path, {}, 0, {}, {}}).sourceFolderName(), label);
}

QTEST_GUILESS_MAIN(TestNames)
#include "tst_Names.moc"
