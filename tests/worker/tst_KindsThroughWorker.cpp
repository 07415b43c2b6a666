// SPDX-License-Identifier: GPL-3.0-or-later
// Archives, fonts and the desktop's thumbnailers as Mirel really gets them: through the preview
// process, the listing's way back from it, and the thumbnail loader with the shared cache.
#include "ArchiveListingWire.h"
#include "ArchivePreview.h"
#include "ArchivePreviewLoader.h"
#include "DesktopThumbnailers.h"
#include "PreviewFile.h"
#include "PreviewWorker.h"
#include "TestArchives.h"
#include "TestHome.h"
#include "ThumbnailCache.h"
#include "ThumbnailLoader.h"
#include "WorkerProtocol.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstddef>
#include <cstring>

using namespace Qt::StringLiterals;
using Problem = ArchiveListing::Problem;
using Status = PreviewWorker::Status;

Q_DECLARE_METATYPE(ArchiveListing::Problem)

namespace {

PreviewWorker::Result listThroughWorker(const QString &path)
{
    WorkerProtocol::Request request;
    request.job = WorkerProtocol::Job::ArchiveList;
    return PreviewWorker::run(*PreviewFile::open(path), request, PreviewWorker::Lane::Preview);
}

const QList<ArchiveMember> smallTree = {
    {.path = "docs/readme.txt", .data = QByteArray(1200, 'r')},
    {.path = "docs/nested/data.bin", .data = QByteArray(7000, 'd')},
    {.path = "photo.jpg", .data = "abc"}};

// A listing in its wire form, and a way to change one field of it in place.
QByteArray wireOf(const ArchiveListing &listing)
{
    return ArchiveListingWire::encode(listing);
}

// A payload written field by field, whatever its header claims.
QByteArray rawWire(const WorkerProtocol::ArchiveHeader &header, int entries, const QByteArray &path,
                   const QByteArray &detail = QByteArray())
{
    QByteArray wire(reinterpret_cast<const char *>(&header), sizeof(header));
    for (int i = 0; i < entries; ++i) {
        WorkerProtocol::ArchiveEntryHeader entry;
        entry.size = 1;
        entry.pathBytes = std::uint32_t(path.size());
        wire.append(reinterpret_cast<const char *>(&entry), sizeof(entry));
        wire.append(path);
    }
    return wire + detail;
}

template<typename T> void patch(QByteArray &wire, std::size_t offset, T value)
{
    std::memcpy(wire.data() + offset, &value, sizeof(T));
}

ArchiveListing sampleListing()
{
    ArchiveListing listing;
    listing.entries = {{u"a.txt"_s, 10, false}, {u"dir/"_s, 0, true}};
    listing.entryCount = 5;
    listing.totalSize = 1234;
    listing.encrypted = true;
    listing.detail = u"what the library said"_s;
    return listing;
}

const QString fontFile = u"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"_s;

// Writes a PNG of one colour (COLOUR) with the test's own Python.
const QByteArray thumbnailerScript = R"(#!/usr/bin/python3
import struct, sys, zlib
def chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
w, h = 90, 30
raw = b''.join(b'\x00' + bytes(COLOUR) * w for _ in range(h))
out = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
out += chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b'')
open(sys.argv[2], 'wb').write(out)
)";

bool writeThumbnailer(const QString &program, const QByteArray &colour)
{
    return writeFile(program, QByteArray(thumbnailerScript).replace("COLOUR", colour)) &&
           QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace

class TestKindsThroughWorker : public QObject
{
    Q_OBJECT

public:
    static void initMain()
    {
        useTemporaryHome();
        // The system's MIME types and thumbnailers, and the test's own for OpenType fonts.
        qputenv("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
    }

private slots:

    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString program = thumbnailerProgram();
        QVERIFY(writeThumbnailer(program, "(20, 90, 200)"));
        const QString folder = qEnvironmentVariable("XDG_DATA_HOME") + u"/thumbnailers"_s;
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(
            writeFile(QString(folder + u"/mirel-otf.thumbnailer"_s),
                      u"[Thumbnailer Entry]\nTryExec=%1\nExec=%1 %i %o %s\nMimeType=font/otf;\n"_s
                          .arg(program)
                          .toUtf8()));
    }

    void archiveListedThroughWorker_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Configure>("configure");
        QTest::newRow("zip") << u"sample.zip"_s << format(archive_write_set_format_zip);
        QTest::newRow("tar.gz") << u"sample.tar.gz"_s
                                << format(archive_write_set_format_pax_restricted,
                                          archive_write_add_filter_gzip);
        QTest::newRow("7z") << u"sample.7z"_s << format(archive_write_set_format_7zip);
    }
    void archiveListedThroughWorker()
    {
        QFETCH(QString, name);
        QFETCH(Configure, configure);
        const QString path = m_dir.filePath(name);
        QVERIFY(writeArchive(path, configure, smallTree));

        const PreviewWorker::Result result = listThroughWorker(path);
        QCOMPARE(result.status, Status::Done);
        QVERIFY(result.archive);
        const ArchiveListing &listing = *result.archive;
        QCOMPARE(listing.problem, Problem::None);
        QCOMPARE(listing.entryCount, 3);
        QCOMPARE(listing.totalSize, 8203);
        QCOMPARE(listing.entries.size(), 3);
        QCOMPARE(listing.entries.at(0).path, u"docs/readme.txt"_s);
        QCOMPARE(listing.entries.at(0).size, 1200);
        QCOMPARE(listing.entries.at(2).path, u"photo.jpg"_s);
        QVERIFY(ArchivePreviewLoader::failureReason(result.status, result.archive).isEmpty());
    }

    void aLostWorkerIsNoListing()
    {
        QVERIFY(!ArchivePreviewLoader::failureReason(Status::WorkerLost, std::nullopt).isEmpty());
        QVERIFY(!ArchivePreviewLoader::failureReason(Status::Unavailable, std::nullopt).isEmpty());
    }

    void wireRoundTrip()
    {
        ArchiveListing listing = sampleListing();
        // Longer than the protocol carries, and cut where a two-byte character would be split.
        listing.entries.append({QString(3000, u'\u00e9'), 7, false});
        const auto back = ArchiveListingWire::decode(wireOf(listing).constData(),
                                                     std::size_t(wireOf(listing).size()));
        QVERIFY(back);
        QCOMPARE(back->entries.size(), 3);
        QCOMPARE(back->entries.at(0).path, u"a.txt"_s);
        QCOMPARE(back->entries.at(0).size, 10);
        QVERIFY(back->entries.at(1).isDirectory);
        QCOMPARE(back->entries.at(2).path, QString(2048, u'\u00e9'));
        QCOMPARE(back->entryCount, 5);
        QCOMPARE(back->totalSize, 1234);
        QVERIFY(back->encrypted);
        QVERIFY(!back->isDebianPackage);
        QCOMPARE(back->detail, listing.detail);
    }

    void wireRefusesForgeries_data()
    {
        using namespace WorkerProtocol;
        QTest::addColumn<QByteArray>("wire");
        const QByteArray good = wireOf(sampleListing());
        constexpr std::size_t listedAt = offsetof(ArchiveHeader, listed);
        constexpr std::size_t countAt = offsetof(ArchiveHeader, entryCount);
        constexpr std::size_t firstEntry = sizeof(ArchiveHeader);
        constexpr std::size_t pathBytesAt = firstEntry + offsetof(ArchiveEntryHeader, pathBytes);

        const auto with = [&good](auto change) {
            QByteArray wire = good;
            change(wire);
            return wire;
        };
        QTest::newRow("more listed than the protocol allows")
            << with([](QByteArray &w) { patch<std::uint32_t>(w, listedAt, maxArchiveListed + 1); });
        // The bytes for every entry are there: only the bounds refuse these.
        ArchiveHeader tooMany;
        tooMany.listed = maxArchiveListed + 1;
        tooMany.entryCount = maxArchiveListed + 1;
        QTest::newRow("more listed than allowed, all of them there")
            << rawWire(tooMany, int(maxArchiveListed) + 1, "name");
        ArchiveHeader one;
        one.listed = 1;
        one.entryCount = 1;
        QTest::newRow("a path longer than allowed, all of it there")
            << rawWire(one, 1, QByteArray(qsizetype(maxArchivePathBytes) + 1, 'p'));
        ArchiveHeader chatty = one;
        chatty.detailBytes = maxArchiveDetailBytes + 1;
        QTest::newRow("a message longer than allowed, all of it there")
            << rawWire(chatty, 1, "name", QByteArray(qsizetype(maxArchiveDetailBytes) + 1, 'm'));
        QTest::newRow("more listed than there are")
            << with([](QByteArray &w) { patch<std::uint32_t>(w, listedAt, 3); });
        QTest::newRow("fewer entries counted than listed")
            << with([](QByteArray &w) { patch<std::int64_t>(w, countAt, 1); });
        QTest::newRow("more entries counted than can be")
            << with([](QByteArray &w) { patch<std::int64_t>(w, countAt, maxArchiveEntries + 1); });
        QTest::newRow("a negative total") << with(
            [](QByteArray &w) { patch<std::int64_t>(w, offsetof(ArchiveHeader, totalSize), -1); });
        QTest::newRow("a problem that does not exist") << with(
            [](QByteArray &w) { patch<std::uint32_t>(w, offsetof(ArchiveHeader, problem), 99); });
        QTest::newRow("a path running past the end") << with(
            [](QByteArray &w) { patch<std::uint32_t>(w, pathBytesAt, maxArchivePathBytes); });
        QTest::newRow("a path longer than allowed")
            << with([](QByteArray &w) { patch<std::uint32_t>(w, pathBytesAt, 0xffffffffu); });
        QTest::newRow("a negative entry size") << with([](QByteArray &w) {
            patch<std::int64_t>(w, firstEntry + offsetof(ArchiveEntryHeader, size), -5);
        });
        QTest::newRow("bytes after the message") << good + "x";
        QTest::newRow("cut inside the header") << good.left(sizeof(ArchiveHeader) - 1);
        QTest::newRow("cut inside the entries") << good.left(sizeof(ArchiveHeader) + 10);
        QTest::newRow("larger than any listing")
            << good + QByteArray(qsizetype(maxArchivePayload), '\0');
    }
    void wireAcceptsTheLargestListing()
    {
        using namespace WorkerProtocol;
        ArchiveHeader full;
        full.listed = maxArchiveListed;
        full.entryCount = maxArchiveEntries;
        full.detailBytes = maxArchiveDetailBytes;
        const QByteArray wire =
            rawWire(full, int(maxArchiveListed), QByteArray(qsizetype(maxArchivePathBytes), 'p'),
                    QByteArray(qsizetype(maxArchiveDetailBytes), 'm'));
        QCOMPARE(std::uint64_t(wire.size()), maxArchivePayload);
        const auto listing = ArchiveListingWire::decode(wire.constData(), std::size_t(wire.size()));
        QVERIFY(listing);
        QCOMPARE(listing->entries.size(), qsizetype(maxArchiveListed));
        QCOMPARE(listing->unlistedCount(), maxArchiveEntries - maxArchiveListed);
    }

    void wireRefusesForgeries()
    {
        QFETCH(QByteArray, wire);
        QVERIFY(!ArchiveListingWire::decode(wire.constData(), std::size_t(wire.size())));
    }

    void fontSampleThroughWorker()
    {
        if (!QFile::exists(fontFile))
            QSKIP("DejaVu Sans (fonts-dejavu-core) is not installed");
        WorkerProtocol::Request request;
        request.job = WorkerProtocol::Job::FontSample;
        request.width = 300;
        request.height = 200;
        const PreviewWorker::Result sample =
            PreviewWorker::run(*PreviewFile::open(fontFile), request, PreviewWorker::Lane::Preview);
        QCOMPARE(sample.status, Status::Done);
        QCOMPARE(sample.image.size(), QSize(300, 200));
        // Something was drawn on the white.
        bool inked = false;
        for (int y = 0; y < sample.image.height() && !inked; ++y)
            for (int x = 0; x < sample.image.width() && !inked; ++x)
                inked = qGray(sample.image.pixel(x, y)) < 128;
        QVERIFY(inked);

        const QString fake = m_dir.filePath(u"fake.ttf"_s);
        QVERIFY(writeFile(fake, QByteArray("\x00\x01\x00\x00", 4) + QByteArray(400, '\x7f')));
        const PreviewWorker::Result none =
            PreviewWorker::run(*PreviewFile::open(fake), request, PreviewWorker::Lane::Preview);
        QCOMPARE(none.status, Status::Failed);
        QVERIFY(none.image.isNull());
    }

    // A TrueType font has no thumbnailer here: its sample is its thumbnail, in the shared cache.
    void fontThumbnailIsItsSample()
    {
        if (!QFile::exists(fontFile))
            QSKIP("DejaVu Sans (fonts-dejavu-core) is not installed");
        if (DesktopThumbnailers::registered().forMimeType(u"font/ttf"_s))
            QSKIP("this system has a thumbnailer for TrueType fonts");
        const QString font = m_dir.filePath(u"Sans.ttf"_s);
        QVERIFY(writeFile(font, readFile(fontFile)));
        ThumbnailLoader loader;
        ThumbnailRequest request;
        request.path = font;
        request.pointSize = QSize(60, 60);
        request.scale = 2.0;
        const QImage thumbnail = loader.thumbnail(request);
        QVERIFY(!thumbnail.isNull());
        QCOMPARE(thumbnail.size(), QSize(128, 128));
        QVERIFY(QFile::exists(ThumbnailCache().entryPath(font, ThumbnailCache::Flavor::Normal)));
    }

    // An OpenType font has the test's thumbnailer: its picture is the thumbnail, kept in the
    // shared cache.
    void desktopThumbnailerMakesTheThumbnail()
    {
        const QString font = m_dir.filePath(u"Serif.otf"_s);
        QVERIFY(writeFile(font, QByteArray("OTTO", 4) + QByteArray(400, '\0')));
        ThumbnailLoader loader;
        ThumbnailRequest request;
        request.path = font;
        request.pointSize = QSize(60, 60);
        request.scale = 2.0;
        const QImage thumbnail = loader.thumbnail(request);
        QCOMPARE(thumbnail.size(), QSize(90, 30));
        QCOMPARE(thumbnail.pixelColor(45, 15), QColor(20, 90, 200));
        QVERIFY(QFile::exists(ThumbnailCache().entryPath(font, ThumbnailCache::Flavor::Normal)));
    }

private:
    QString thumbnailerProgram() const { return m_dir.filePath(u"otf-thumbnailer"_s); }

    QTemporaryDir m_dir;
};

QTEST_MAIN(TestKindsThroughWorker)
#include "tst_KindsThroughWorker.moc"
