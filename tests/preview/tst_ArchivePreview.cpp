// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchivePreview.h"
#include "SizeText.h"
#include "TestHome.h"

#include <QLocale>
#include <QTest>

using namespace Qt::StringLiterals;
using Problem = ArchiveListing::Problem;

Q_DECLARE_METATYPE(ArchiveListing)

namespace {

ArchiveListing listingOf(qint64 count, int listed, qint64 total)
{
    ArchiveListing listing;
    listing.entryCount = count;
    listing.totalSize = total;
    listing.entries.append({u"photos/"_s, 0, true});
    for (int i = 1; i < listed; ++i)
        listing.entries.append({u"photos/img-%1.jpg"_s.arg(i), 1000 + i, false});
    return listing;
}

} // namespace

class TestArchivePreview : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void showsHeaderRowsAndNotes_data()
    {
        QTest::addColumn<ArchiveListing>("listing");
        QTest::addColumn<QString>("header");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("lastRow");
        QTest::addColumn<QStringList>("notes");

        QTest::newRow("all listed")
            << listingOf(3, 3, 2003) << u"Entries: 3, unpacked: %1"_s.arg(SizeText::format(2003))
            << 3 << u"photos/img-2.jpg"_s << QStringList();

        QTest::newRow("a hundred thousand, the first 300 listed")
            << listingOf(100'000, 300, 7'000'000'000)
            << u"Entries: 100,000, unpacked: %1"_s.arg(SizeText::format(7'000'000'000)) << 301
            << u"and 99,700 more"_s << QStringList();

        ArchiveListing cut = listingOf(5, 5, 500);
        cut.problem = Problem::Damaged;
        cut.detail = u"Truncated input file"_s;
        QTest::newRow("damaged after five entries")
            << cut << u"Entries read: 5, unpacked: %1"_s.arg(SizeText::format(500)) << 5
            << u"photos/img-4.jpg"_s << QStringList{ArchivePreview::problemText(Problem::Damaged)};

        ArchiveListing unknown;
        unknown.problem = Problem::UnknownFormat;
        QTest::newRow("not an archive")
            << unknown << u"Entries read: 0, unpacked: %1"_s.arg(SizeText::format(0)) << 0
            << QString() << QStringList{ArchivePreview::problemText(Problem::UnknownFormat)};

        ArchiveListing package = listingOf(4, 4, 4000);
        package.isDebianPackage = true;
        package.encrypted = true;
        QTest::newRow("package") << package
                                 << u"Entries: 4, unpacked: %1"_s.arg(SizeText::format(4000)) << 4
                                 << u"photos/img-3.jpg"_s
                                 << QStringList{u"Files this package installs."_s,
                                                u"Encrypted: the contents need a password."_s};
    }
    void showsHeaderRowsAndNotes()
    {
        QFETCH(ArchiveListing, listing);
        QFETCH(QString, header);
        QFETCH(int, rows);
        QFETCH(QString, lastRow);
        QFETCH(QStringList, notes);

        ArchivePreview preview(listing);
        preview.resize(300, 400);
        preview.show();
        QCOMPARE(preview.headerText(), header);
        QCOMPARE(preview.rowCount(), rows);
        QCOMPARE(preview.pathAt(rows - 1), lastRow);
        QCOMPARE(preview.noteText(), notes.join(u'\n'));
        if (rows > 1) {
            // A folder has no size; a file its own, in the panel's size format.
            QCOMPARE(preview.pathAt(0), u"photos/"_s);
            QCOMPARE(preview.sizeAt(0), QString());
            QCOMPARE(preview.sizeAt(1), SizeText::format(1001));
        }
    }

    void everyProblemHasPlainWords()
    {
        QVERIFY(ArchivePreview::problemText(Problem::None).isEmpty());
        QSet<QString> texts;
        for (Problem problem : {Problem::NotAFile, Problem::UnknownFormat, Problem::Damaged,
                                Problem::EncryptedIndex, Problem::Unfinished, Problem::ReadError})
            texts.insert(ArchivePreview::problemText(problem));
        QCOMPARE(texts.size(), 6);
        QVERIFY(!texts.contains(QString()));
    }
};

QTEST_MAIN(TestArchivePreview)
#include "tst_ArchivePreview.moc"
