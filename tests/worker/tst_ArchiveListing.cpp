// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchiveListing.h"
#include "TestArchives.h"
#include "TestHome.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Problem = ArchiveListing::Problem;

Q_DECLARE_METATYPE(ArchiveListing::Problem)

namespace {

using Member = ArchiveMember;

ArchiveListing listFile(const QString &path, const ArchiveLister::Limits &limits = {})
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    ArchiveListing listing = ArchiveLister::list(fd, limits);
    ::close(fd);
    return listing;
}

bool run(const QString &program, const QStringList &arguments, const QString &folder = {})
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    if (!process.waitForFinished(60'000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        qWarning() << program << process.readAllStandardError();
        return false;
    }
    return true;
}

const QList<Member> smallTree = {{"docs/", 0, true},
                                 {"docs/readme.txt", 1200},
                                 {"docs/nested/data.bin", 70'000},
                                 {"photo.jpg", 3}};

} // namespace

class TestArchiveListing : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void listsEachFormat_data()
    {
        QTest::addColumn<Configure>("configure");
        QTest::newRow("zip") << format(archive_write_set_format_zip);
        QTest::newRow("tar") << format(archive_write_set_format_pax_restricted);
        QTest::newRow("tar.gz") << format(archive_write_set_format_pax_restricted,
                                          archive_write_add_filter_gzip);
        QTest::newRow("tar.bz2") << format(archive_write_set_format_pax_restricted,
                                           archive_write_add_filter_bzip2);
        QTest::newRow("tar.xz") << format(archive_write_set_format_pax_restricted,
                                          archive_write_add_filter_xz);
        QTest::newRow("tar.zst") << format(archive_write_set_format_pax_restricted,
                                           archive_write_add_filter_zstd);
        QTest::newRow("7z") << format(archive_write_set_format_7zip);
        QTest::newRow("cpio") << format(archive_write_set_format_cpio_newc);
    }
    void listsEachFormat()
    {
        QFETCH(Configure, configure);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"sample"_s);
        QVERIFY(writeArchive(path, configure, smallTree));

        const ArchiveListing listing = listFile(path);
        QCOMPARE(listing.problem, Problem::None);
        QCOMPARE(listing.entryCount, 4);
        QCOMPARE(listing.entries.size(), 4);
        QCOMPARE(listing.totalSize, 71'203);
        QVERIFY(!listing.encrypted);
        QVERIFY(!listing.isDebianPackage);
        QStringList paths;
        for (const ArchiveEntry &entry : listing.entries) {
            paths.append(entry.path);
            QCOMPARE(entry.isDirectory,
                     entry.path.startsWith(u"docs/"_s) && !entry.path.contains(u'.'));
        }
        QVERIFY2(paths.contains(u"docs/nested/data.bin"_s), qPrintable(paths.join(u", ")));
        QVERIFY(paths.contains(u"photo.jpg"_s));
        for (const ArchiveEntry &entry : listing.entries) {
            if (entry.path == u"docs/nested/data.bin"_s)
                QCOMPARE(entry.size, 70'000);
        }
    }

    // 256 MiB of zeros in a zip of a few hundred KiB, and its compressed data then overwritten
    // with garbage: a listing that inflated anything would fail, one that reads headers only
    // still gives every size.
    void zipBombListsSizesWithoutInflating()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"bomb.zip"_s);
        const qint64 huge = qint64(256) << 20;
        QVERIFY(writeArchive(path, format(archive_write_set_format_zip),
                             {{"zeros-1.bin", huge}, {"zeros-2.bin", huge}, {"note.txt", 10}}));
        QFile file(path);
        QVERIFY(file.size() < huge / 100);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(200));
        QVERIFY(file.write(QByteArray(int(file.size() / 3), char(0xa5))) > 0);
        file.close();

        const ArchiveListing listing = listFile(path);
        QCOMPARE(listing.problem, Problem::None);
        QCOMPARE(listing.entryCount, 3);
        QCOMPARE(listing.totalSize, 2 * huge + 10);
        QCOMPARE(listing.entries.at(0).path, u"zeros-1.bin"_s);
        QCOMPARE(listing.entries.at(0).size, huge);
        QCOMPARE(listing.entries.at(2).path, u"note.txt"_s);
    }

    void truncatedArchiveGivesTheReason_data()
    {
        QTest::addColumn<Configure>("configure");
        QTest::newRow("zip") << format(archive_write_set_format_zip);
        QTest::newRow("tar.gz") << format(archive_write_set_format_pax_restricted,
                                          archive_write_add_filter_gzip);
        QTest::newRow("tar.xz") << format(archive_write_set_format_pax_restricted,
                                          archive_write_add_filter_xz);
        QTest::newRow("7z") << format(archive_write_set_format_7zip);
    }
    void truncatedArchiveGivesTheReason()
    {
        QFETCH(Configure, configure);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"cut"_s);
        QList<Member> members;
        for (int i = 0; i < 40; ++i)
            members.append({"file-" + QByteArray::number(i) + ".txt", 4096 + i});
        QVERIFY(writeArchive(path, configure, members));
        QFile file(path);
        const qint64 full = file.size();
        QVERIFY(file.resize(full / 2));

        const ArchiveListing listing = listFile(path);
        QCOMPARE(listing.problem, Problem::Damaged);
        QVERIFY(!listing.detail.isEmpty());
        QVERIFY(listing.entryCount < 40);
        for (qsizetype i = 0; i < listing.entries.size(); ++i)
            QCOMPARE(listing.entries.at(i).path, u"file-%1.txt"_s.arg(i));
    }

    void encryptedArchivesListNamesAndSaySo_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("archive");
        QTest::addColumn<bool>("namesHidden");
        QTest::newRow("zip, traditional encryption")
            << u"zip"_s << QStringList{u"-q"_s, u"-e"_s, u"-P"_s, u"hunter2"_s} << u"locked.zip"_s
            << false;
        // Debian's 7zip names its program 7zz up to Debian 12 and 7z from Debian 13 on.
        QString sevenZip = QStandardPaths::findExecutable(u"7zz"_s);
        if (sevenZip.isEmpty())
            sevenZip = u"7z"_s;
        QTest::newRow("zip, AES-256")
            << sevenZip
            << QStringList{u"a"_s, u"-bso0"_s, u"-tzip"_s, u"-mem=AES256"_s, u"-phunter2"_s}
            << u"locked.zip"_s << false;
        QTest::newRow("7z, contents encrypted")
            << sevenZip << QStringList{u"a"_s, u"-bso0"_s, u"-phunter2"_s} << u"locked.7z"_s
            << false;
        QTest::newRow("7z, names encrypted too")
            << sevenZip << QStringList{u"a"_s, u"-bso0"_s, u"-phunter2"_s, u"-mhe=on"_s}
            << u"locked.7z"_s << true;
    }
    void encryptedArchivesListNamesAndSaySo()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, options);
        QFETCH(QString, archive);
        QFETCH(bool, namesHidden);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath(u"secret plans.txt"_s), QByteArray(5000, 'x')));
        QVERIFY(writeFile(dir.filePath(u"budget.csv"_s), "a,b\n1,2\n"));
        QVERIFY(run(program, options + QStringList{archive, u"secret plans.txt"_s, u"budget.csv"_s},
                    dir.path()));

        const ArchiveListing listing = listFile(dir.filePath(archive));
        QVERIFY(listing.encrypted);
        if (namesHidden) {
            QCOMPARE(listing.problem, Problem::EncryptedIndex);
            QCOMPARE(listing.entryCount, 0);
            return;
        }
        QCOMPARE(listing.problem, Problem::None);
        QCOMPARE(listing.entryCount, 2);
        QStringList names;
        for (const ArchiveEntry &entry : listing.entries)
            names.append(entry.path);
        names.sort();
        QCOMPARE(names, (QStringList{u"budget.csv"_s, u"secret plans.txt"_s}));
        QCOMPARE(listing.totalSize, 5008);
    }

    void hundredThousandEntriesAreCountedAndTheFirstListed_data()
    {
        QTest::addColumn<Configure>("configure");
        QTest::newRow("zip") << format(archive_write_set_format_zip);
        QTest::newRow("tar.gz") << format(archive_write_set_format_pax_restricted,
                                          archive_write_add_filter_gzip);
    }
    void hundredThousandEntriesAreCountedAndTheFirstListed()
    {
        QFETCH(Configure, configure);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"many"_s);
        QList<Member> members;
        members.reserve(100'000);
        for (int i = 0; i < 100'000; ++i)
            members.append(
                {"d" + QByteArray::number(i / 1000) + "/f" + QByteArray::number(i), i % 7});
        QVERIFY(writeArchive(path, configure, members));

        QElapsedTimer timer;
        timer.start();
        const ArchiveListing listing = listFile(path, {300, 5'000'000, std::chrono::seconds(60)});
        qInfo("listed %lld entries in %lld ms", listing.entryCount, timer.elapsed());
        QCOMPARE(listing.problem, Problem::None);
        QCOMPARE(listing.entryCount, 100'000);
        QCOMPARE(listing.entries.size(), 300);
        QCOMPARE(listing.unlistedCount(), 99'700);
        QCOMPARE(listing.entries.at(299).path, u"d0/f299"_s);
        qint64 expected = 0;
        for (int i = 0; i < 100'000; ++i)
            expected += i % 7;
        QCOMPARE(listing.totalSize, expected);

        // Counting stops at its own limit and says so; the first entries stay listed.
        const ArchiveListing capped = listFile(path, {10, 2000, std::chrono::seconds(60)});
        QCOMPARE(capped.problem, Problem::Unfinished);
        QCOMPARE(capped.entryCount, 2000);
        QCOMPARE(capped.entries.size(), 10);
        QCOMPARE(capped.entries.at(9).path, u"d0/f9"_s);

        // A budget that is spent at once stops before anything is read.
        const ArchiveListing hurried = listFile(path, {300, 5'000'000, std::chrono::seconds(0)});
        QCOMPARE(hurried.problem, Problem::Unfinished);
        QCOMPARE(hurried.detail, u"the time for listing ran out"_s);
        QVERIFY(hurried.entryCount < 100'000);
    }

    void debianPackageListsItsDataArchive_data()
    {
        QTest::addColumn<QString>("compression");
        QTest::newRow("xz") << u"xz"_s;
        QTest::newRow("none") << u"none"_s;
    }
    void debianPackageListsItsDataArchive()
    {
        QFETCH(QString, compression);
        QTemporaryDir dir;
        const QString root = dir.filePath(u"pkg"_s);
        QVERIFY(QDir().mkpath(root + u"/DEBIAN"_s));
        QVERIFY(QDir().mkpath(root + u"/usr/share/doc/sample"_s));
        QVERIFY(writeFile(root + u"/DEBIAN/control"_s,
                          "Package: sample\nVersion: 1.0\nArchitecture: all\n"
                          "Maintainer: Nobody <nobody@example.invalid>\nDescription: test\n"));
        QVERIFY(writeFile(root + u"/usr/share/doc/sample/README"_s, QByteArray(1234, 'r')));
        QVERIFY(run(u"dpkg-deb"_s, {u"--root-owner-group"_s, u"-Z"_s + compression, u"--build"_s,
                                    root, dir.filePath(u"sample.deb"_s)}));

        const ArchiveListing listing = listFile(dir.filePath(u"sample.deb"_s));
        QCOMPARE(listing.problem, Problem::None);
        QVERIFY(listing.isDebianPackage);
        QStringList paths;
        for (const ArchiveEntry &entry : listing.entries)
            paths.append(entry.path);
        QVERIFY2(paths.contains(u"./usr/share/doc/sample/README"_s), qPrintable(paths.join(u' ')));
        QVERIFY(!paths.contains(u"debian-binary"_s));
        QVERIFY(!paths.contains(u"./control"_s));
        QCOMPARE(listing.totalSize, 1234);
    }

    void whatIsNoArchiveSaysSo()
    {
        QTemporaryDir dir;
        const QString text = dir.filePath(u"notes.zip"_s);
        QVERIFY(writeFile(text, "this is only text, whatever its name says\n"));
        QCOMPARE(listFile(text).problem, Problem::UnknownFormat);

        // An mtree "archive" names files on this machine for its reader to open: not read.
        const QString mtree = dir.filePath(u"listing.mtree"_s);
        QVERIFY(writeFile(mtree, "#mtree\n/etc/hostname type=file\n/dev/zero type=file\n"));
        QCOMPARE(listFile(mtree).problem, Problem::UnknownFormat);

        int pipeEnds[2];
        QCOMPARE(::pipe(pipeEnds), 0);
        QCOMPARE(ArchiveLister::list(pipeEnds[0]).problem, Problem::NotAFile);
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
    }

    // The descriptor's own offset does not matter and is left alone.
    void readsFromTheStartWhateverTheOffset()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"a.tar"_s);
        QVERIFY(writeArchive(path, format(archive_write_set_format_pax_restricted), smallTree));
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(fd >= 0);
        QCOMPARE(::lseek(fd, 777, SEEK_SET), 777);
        const ArchiveListing listing = ArchiveLister::list(fd);
        QCOMPARE(::lseek(fd, 0, SEEK_CUR), 777);
        ::close(fd);
        QCOMPARE(listing.problem, Problem::None);
        QCOMPARE(listing.entryCount, 4);
    }
};

QTEST_GUILESS_MAIN(TestArchiveListing)
#include "tst_ArchiveListing.moc"
