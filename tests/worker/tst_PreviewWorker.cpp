// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchivePreviewLoader.h"
#include "FilePreviewView.h"
#include "ImageDecoder.h"
#include "ImagePreview.h"
#include "InfoCardPreview.h"
#include "PdfPreview.h"
#include "PreviewFile.h"
#include "PreviewWorker.h"
#include "TestHome.h"
#include "ThumbnailGenerator.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMimeDatabase>
#include <QPdfWriter>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <chrono>
#include <thread>

#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using Status = PreviewWorker::Status;

Q_DECLARE_METATYPE(Status)

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool addressSanitized = true;
#else
constexpr bool addressSanitized = false;
#endif

// A page filled with one colour, `pages` times.
void writePdf(const QString &path, const QColor &colour, int pages = 1)
{
    QPdfWriter writer(path);
    QPainter painter(&writer);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.fillRect(QRect(0, 0, writer.width(), writer.height()), colour);
    }
}

// Runs ffmpeg with `arguments`; false when it is not installed or fails.
bool ffmpeg(const QStringList &arguments)
{
    const QString program = QStandardPaths::findExecutable(u"ffmpeg"_s);
    if (program.isEmpty())
        return false;
    QProcess process;
    process.start(program, QStringList{u"-loglevel"_s, u"error"_s, u"-y"_s} + arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// The share of sampled pixels that are lit at all.
double litShare(const QImage &image)
{
    int lit = 0;
    int seen = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2) {
            const QColor colour = image.pixelColor(x, y);
            lit += std::max({colour.red(), colour.green(), colour.blue()}) > 60;
            ++seen;
        }
    }
    return seen ? double(lit) / seen : 0;
}

PreviewWorker::Result stillOf(const QString &path, const QSize &bounds)
{
    const auto file = PreviewFile::open(path);
    WorkerProtocol::Request request;
    request.job = WorkerProtocol::Job::VideoFrame;
    request.width = bounds.width();
    request.height = bounds.height();
    return PreviewWorker::run(*file, request, PreviewWorker::Lane::Thumbnail);
}

// How many of this program's preview processes have the video module loaded right now.
int processesHoldingVideo()
{
    int holding = 0;
    const QByteArray self = QByteArray::number(::getpid());
    for (const QString &entry : QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(u"/proc/"_s + entry + u"/stat"_s);
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // The parent is the second field after the name, which ends at the last ')'.
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2 || fields[1] != self)
            continue;
        QFile maps(u"/proc/"_s + entry + u"/maps"_s);
        holding += maps.open(QIODevice::ReadOnly) && maps.readAll().contains("mirel-video");
    }
    return holding;
}

QString className(const QWidget *widget)
{
    return widget ? QString::fromLatin1(widget->metaObject()->className()) : QString();
}

} // namespace

class TestPreviewWorker final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void misbehavingWorker_data();
    void misbehavingWorker();
    void cancelledRequestKillsTheBusyWorker();
    void workerReadsWhatWasOpenedNotThePath();
    void sandbox();
    void concurrentRequestsShareAFewWorkers();
    void pdfPagesAtTheAskedSize();
    void idleWorkersEnd();
    void missingWorkerGivesNoPicture();
    void forgedArchiveListingIsRefused();
    void archiveLeavingTheScreenStopsItsListing();
    void videoFrame_data();
    void videoFrame();
    void videoTurnedAsPlayersTurnIt();
    void unreadableVideo_data();
    void unreadableVideo();
    void videosGoToOneProcess();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString goodPicture();
    QString goodVideo();
    QTemporaryDir m_dir;
};

void TestPreviewWorker::initTestCase()
{
    PreviewWorker::setExecutable(QStringLiteral(MIREL_TEST_WORKER));
    QVERIFY(m_dir.isValid());
}

void TestPreviewWorker::init()
{
    PreviewWorker::setExecutable(QStringLiteral(MIREL_TEST_WORKER));
    // Short enough for a test, long enough for a loaded machine to decode a small picture.
    PreviewWorker::setDeadline(3s);
}

QString TestPreviewWorker::goodPicture()
{
    const QString file = path(u"good.png"_s);
    if (!QFile::exists(file))
        writeImage(quadrantImage(QSize(64, 48)), file, "png");
    return file;
}

// Two seconds of a moving test picture, H.264 as cameras and phones write it.
QString TestPreviewWorker::goodVideo()
{
    const QString file = path(u"good.mp4"_s);
    if (!QFile::exists(file) &&
        !ffmpeg({u"-f"_s, u"lavfi"_s, u"-i"_s, u"testsrc2=size=320x180:rate=25"_s, u"-t"_s, u"2"_s,
                 u"-c:v"_s, u"libx264"_s, u"-pix_fmt"_s, u"yuv420p"_s, file}))
        return QString();
    return file;
}

void TestPreviewWorker::misbehavingWorker_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("previewer");
    QTest::newRow("picture that crashes")
        << u"crash.gif"_s << QByteArray("MIREL-TEST-CRASH") << u"ImagePreview"_s;
    QTest::newRow("picture that hangs")
        << u"hang.tiff"_s << QByteArray("MIREL-TEST-HANG") << u"ImagePreview"_s;
    QTest::newRow("picture that runs out of memory")
        << u"exhaust.png"_s << QByteArray("MIREL-TEST-EXHAUST") << u"ImagePreview"_s;
    QTest::newRow("PDF that crashes")
        << u"crash.pdf"_s << QByteArray("MIREL-TEST-CRASH") << u"PdfPreview"_s;
    QTest::newRow("PDF that runs out of memory")
        << u"exhaust.pdf"_s << QByteArray("MIREL-TEST-EXHAUST") << u"PdfPreview"_s;
}

// Whatever the worker does with one file, that file gets no picture, the worker is replaced and
// the next file decodes as usual. The panel shows the file's card, and a row's thumbnail of it
// is remembered as failed.
void TestPreviewWorker::misbehavingWorker()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, previewer);
    if (addressSanitized && content.contains("EXHAUST"))
        QSKIP("AddressSanitizer's shadow memory leaves no room for a data limit");
    const QString bad = path(name);
    writeBytes(bad, content + QByteArray(100, ' '));
    const int startedBefore = PreviewWorker::startedWorkers();

    const ImageDecoder::Result lost = ImageDecoder::decode(bad, QSize(100, 100));
    QCOMPARE(lost.status, Status::WorkerLost);
    QVERIFY(lost.image.isNull());
    QVERIFY(PreviewWorker::liveWorkers() <= PreviewWorker::maxWorkers);

    const ImageDecoder::Result next = ImageDecoder::decode(goodPicture(), QSize(100, 100));
    QCOMPARE(next.status, Status::Done);
    QCOMPARE(next.image.size(), QSize(64, 48));
    QVERIFY(roughlyEqual(next.image.pixelColor(5, 5), Qt::red));
    // The worker that went down was replaced by a fresh one.
    QVERIFY(PreviewWorker::startedWorkers() > startedBefore);

    const QMimeDatabase types;
    const auto thumbnail =
        ThumbnailGenerator::generate(*PreviewFile::open(bad), types.mimeTypeForFile(bad), 128);
    QCOMPARE(thumbnail.status, ThumbnailGenerator::Result::Status::Failed);
    QVERIFY(thumbnail.image.isNull());
    const auto made = ThumbnailGenerator::generate(*PreviewFile::open(goodPicture()),
                                                   types.mimeTypeForFile(goodPicture()), 32);
    QCOMPARE(made.status, ThumbnailGenerator::Result::Status::Made);
    QCOMPARE(made.image.size(), QSize(32, 24));

    const QString good = path(u"next.pdf"_s);
    writePdf(good, QColor(40, 110, 200));
    FilePreviewView view(QUrl::fromLocalFile(bad));
    QStringList shown;
    connect(&view, &FilePreviewView::previewChanged, this,
            [&shown](QWidget *preview) { shown.append(className(preview)); });
    view.resize(320, 260);
    view.show();
    // The previewer of its kind was tried, and gave way to the card.
    QTRY_COMPARE_WITH_TIMEOUT(shown, QStringList({previewer, u"InfoCardPreview"_s}), 15000);
    QCOMPARE(qobject_cast<InfoCardPreview *>(view.currentPreview())->nameText(), name);

    // The next file is shown by a working worker.
    view.setUrl(QUrl::fromLocalFile(good));
    QTRY_COMPARE(className(view.currentPreview()), u"PdfPreview"_s);
    auto *pdf = qobject_cast<PdfPreview *>(view.currentPreview());
    QTRY_VERIFY_WITH_TIMEOUT(!pdf->renderedPage(0).isNull(), 15000);
    const QImage page = pdf->renderedPage(0);
    QVERIFY(
        roughlyEqual(page.pixelColor(page.width() / 2, page.height() / 2), QColor(40, 110, 200)));
}

// A file no longer shown: the worker stuck on it is killed at once, not waited for until the
// deadline, and the next request gets a fresh one.
void TestPreviewWorker::cancelledRequestKillsTheBusyWorker()
{
    PreviewWorker::setDeadline(120s);
    const QString stuck = path(u"stuck.png"_s);
    writeBytes(stuck, "MIREL-TEST-HANG" + QByteArray(100, ' '));
    const CancelFlag cancel = makeCancelFlag();
    QFuture<ImageDecoder::Result> pending = QtConcurrent::run(
        [stuck, cancel] { return ImageDecoder::decode(stuck, QSize(50, 50), cancel); });
    // Busy: the worker has the file and does not answer.
    QTRY_VERIFY(PreviewWorker::liveWorkers() >= 1);
    QTest::qWait(200);
    QVERIFY(!pending.isFinished());
    cancel->store(true);
    // Far less than the deadline: a wait for it would hold this test for two minutes.
    QTRY_VERIFY_WITH_TIMEOUT(pending.isFinished(), 10000);
    QCOMPARE(pending.result().status, Status::Cancelled);

    const ImageDecoder::Result next = ImageDecoder::decode(goodPicture(), QSize(100, 100));
    QCOMPARE(next.status, Status::Done);
}

// The worker gets the descriptor Mirel opened, never the name: a file put under the same name
// afterwards is not what it decodes.
void TestPreviewWorker::workerReadsWhatWasOpenedNotThePath()
{
    const QString name = path(u"swapped.png"_s);
    QVERIFY(writeImage(quadrantImage(QSize(40, 40)), name, "png"));
    const auto opened = PreviewFile::open(name);
    QVERIFY(QFile::rename(name, path(u"moved-away.png"_s)));
    QImage green(10, 10, QImage::Format_RGB32);
    green.fill(Qt::green);
    QVERIFY(writeImage(green, name, "png"));

    const ImageDecoder::Result result = ImageDecoder::decode(*opened);
    QCOMPARE(result.status, Status::Done);
    QCOMPARE(result.image.size(), QSize(40, 40));
    QVERIFY(roughlyEqual(result.image.pixelColor(5, 5), Qt::red));
}

// What the process may do: no Internet socket, no new privileges, its memory and CPU limits.
void TestPreviewWorker::sandbox()
{
    const QString probe = path(u"probe.png"_s);
    writeBytes(probe, "MIREL-TEST-PROBE" + QByteArray(100, ' '));
    const ImageDecoder::Result result = ImageDecoder::decode(probe);
    QCOMPARE(result.status, Status::Done);
    const int bits = result.image.width() - 16;
    QVERIFY2(bits & 1, "the worker could open an Internet socket");
    QVERIFY2(bits & 2, "the worker may gain privileges");
    if (!addressSanitized)
        QVERIFY2(bits & 4, "the worker has no data limit");
    QVERIFY2(bits & 8, "the worker has no CPU time limit");
}

void TestPreviewWorker::concurrentRequestsShareAFewWorkers()
{
    QThreadPool threads;
    threads.setMaxThreadCount(8);
    std::atomic<int> peak = 0;
    QList<QFuture<Status>> results;
    for (int i = 0; i < 16; ++i) {
        const auto lane = i % 2 ? PreviewWorker::Lane::Thumbnail : PreviewWorker::Lane::Preview;
        results.append(QtConcurrent::run(&threads, [this, lane, &peak] {
            const auto file = PreviewFile::open(goodPicture());
            const auto result = ImageDecoder::decode(*file, QSize(16, 16), {}, lane);
            int seen = PreviewWorker::liveWorkers();
            int known = peak.load();
            while (seen > known && !peak.compare_exchange_weak(known, seen)) {
            }
            return result.status;
        }));
    }
    for (auto &result : results)
        QCOMPARE(result.result(), Status::Done);
    QVERIFY2(peak.load() <= PreviewWorker::maxWorkers,
             qPrintable(u"%1 workers at once"_s.arg(peak.load())));
}

void TestPreviewWorker::pdfPagesAtTheAskedSize()
{
    const QString file = path(u"three.pdf"_s);
    writePdf(file, QColor(200, 30, 30), 3);
    const auto opened = PreviewFile::open(file);
    WorkerProtocol::Request open;
    open.job = WorkerProtocol::Job::PdfOpen;
    const auto pages = PreviewWorker::run(*opened, open, PreviewWorker::Lane::Preview);
    QCOMPARE(pages.status, Status::Done);
    QCOMPARE(pages.pageSizes.size(), 3);
    // A4 in points, QPdfWriter's default page.
    QVERIFY(qAbs(pages.pageSizes[2].width() - 595) < 2);
    QVERIFY(qAbs(pages.pageSizes[2].height() - 842) < 2);

    WorkerProtocol::Request render;
    render.job = WorkerProtocol::Job::PdfPage;
    render.page = 3; // past the end
    render.width = 119;
    render.height = 168;
    QCOMPARE(PreviewWorker::run(*opened, render, PreviewWorker::Lane::Preview).status,
             Status::Failed);
}

// Nothing to decode for a while: no preview process stays behind, and the next picture starts one.
void TestPreviewWorker::idleWorkersEnd()
{
    QCOMPARE(ImageDecoder::decode(goodPicture(), QSize(20, 20)).status, Status::Done);
    QVERIFY(PreviewWorker::liveWorkers() >= 1);
    QTRY_COMPARE_WITH_TIMEOUT(PreviewWorker::liveWorkers(), 0, 15000);
    // A list about to ask for thumbnails has as many started as thumbnails may use at once,
    // and asking again starts no more.
    PreviewWorker::prestart(PreviewWorker::maxThumbnailWorkers);
    PreviewWorker::prestart(PreviewWorker::maxThumbnailWorkers);
    QTRY_COMPARE(PreviewWorker::liveWorkers(), PreviewWorker::maxThumbnailWorkers);
    const int started = PreviewWorker::startedWorkers();
    // Requests one at a time go to the worker used last: the other one is left idle, and ends.
    QElapsedTimer steady;
    steady.start();
    for (int i = 0; PreviewWorker::liveWorkers() > 1 && steady.elapsed() < 15000; ++i) {
        // Each a file of its own, as a list's thumbnails are.
        const QString picture = path(u"copy-%1.png"_s.arg(i));
        QVERIFY(QFile::copy(goodPicture(), picture));
        QCOMPARE(ImageDecoder::decode(picture, QSize(20, 20)).status, Status::Done);
        QTest::qWait(250);
    }
    QCOMPARE(PreviewWorker::liveWorkers(), 1);
    QCOMPARE(PreviewWorker::startedWorkers(), started);
}

void TestPreviewWorker::missingWorkerGivesNoPicture()
{
    PreviewWorker::setExecutable(path(u"no-such-worker"_s));
    const ImageDecoder::Result result = ImageDecoder::decode(goodPicture(), QSize(20, 20));
    QCOMPARE(result.status, Status::Unavailable);
    QVERIFY(result.image.isNull());
}

// A worker that claims more entries than the protocol allows is not believed, nor used again:
// no listing reaches the preview, and the next request gets a fresh worker.
void TestPreviewWorker::forgedArchiveListingIsRefused()
{
    const QString forged = path(u"forged.zip"_s);
    writeBytes(forged, QByteArray("MIREL-TEST-FORGED-LIST") + QByteArray(100, ' '));
    WorkerProtocol::Request request;
    request.job = WorkerProtocol::Job::ArchiveList;
    const auto file = PreviewFile::open(forged);
    const int startedBefore = PreviewWorker::startedWorkers();
    const PreviewWorker::Result result =
        PreviewWorker::run(*file, request, PreviewWorker::Lane::Preview);
    QCOMPARE(result.status, Status::WorkerLost);
    QVERIFY(!result.archive);

    const ImageDecoder::Result next = ImageDecoder::decode(goodPicture(), QSize(100, 100));
    QCOMPARE(next.status, Status::Done);
    // init() left no idle worker: one for the lie, a fresh one after it.
    QCOMPARE(PreviewWorker::startedWorkers(), startedBefore + 2);
}

// An archive whose listing does not come shows the busy indicator; when it leaves the screen the
// worker busy on it is killed at once, not at the deadline.
void TestPreviewWorker::archiveLeavingTheScreenStopsItsListing()
{
    PreviewWorker::setDeadline(120s);
    const QString stuck = path(u"stuck.zip"_s);
    writeBytes(stuck, "MIREL-TEST-HANG" + QByteArray(100, ' '));
    auto *loader = new ArchivePreviewLoader(PreviewFile::open(stuck));
    QSignalSpy failed(loader, &ArchivePreviewLoader::failed);
    loader->resize(300, 200);
    loader->show();
    QTRY_VERIFY(PreviewWorker::liveWorkers() >= 1);
    QTest::qWait(200);
    QVERIFY(loader->isBusy());
    QVERIFY(!loader->archivePreview());
    QCOMPARE(failed.count(), 0);

    delete loader;
    // Far less than the deadline.
    QTRY_COMPARE_WITH_TIMEOUT(PreviewWorker::liveWorkers(), 0, 10000);
}

void TestPreviewWorker::videoFrame_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("encoding");
    QTest::addColumn<QSize>("bounds");
    QTest::addColumn<QSize>("fullSize");
    QTest::addColumn<QSize>("frameSize");

    const QStringList h264{u"-c:v"_s, u"libx264"_s, u"-pix_fmt"_s, u"yuv420p"_s};
    // Stored 160 wide with pixels twice as wide as high, as on a DVD: shown 320 wide.
    QTest::newRow("anamorphic pixels")
        << u"anamorphic.mkv"_s
        << QStringList{u"-f"_s,  u"lavfi"_s,    u"-i"_s, u"testsrc2=size=160x180:rate=25"_s,
                       u"-vf"_s, u"setsar=2"_s, u"-t"_s, u"2"_s} +
               h264
        << QSize(100, 100) << QSize(320, 180) << QSize(100, 56);
    // Black for the first fifth (a fade-in): the still at a tenth, and the one a little later,
    // would be black.
    QTest::newRow("fade-in from black")
        << u"fade.mp4"_s
        << QStringList{u"-f"_s, u"lavfi"_s,
                       u"-i"_s, u"testsrc2=size=320x180:rate=25,fade=t=in:st=2:d=0.2"_s,
                       u"-t"_s, u"10"_s} +
               h264
        << QSize(128, 128) << QSize(320, 180) << QSize(128, 72);
    QTest::newRow("VP9 in WebM") << u"clip.webm"_s
                                 << QStringList{u"-f"_s,        u"lavfi"_s,
                                                u"-i"_s,        u"testsrc2=size=320x240:rate=25"_s,
                                                u"-t"_s,        u"1"_s,
                                                u"-c:v"_s,      u"libvpx-vp9"_s,
                                                u"-deadline"_s, u"realtime"_s}
                                 << QSize(128, 128) << QSize(320, 240) << QSize(128, 96);
}

// A still of the video, from its descriptor: in the bounds, in the video's proportions, and a
// picture rather than black.
void TestPreviewWorker::videoFrame()
{
    QFETCH(QString, name);
    QFETCH(QStringList, encoding);
    QFETCH(QSize, bounds);
    QFETCH(QSize, fullSize);
    QFETCH(QSize, frameSize);
    PreviewWorker::setDeadline(20s);
    const QString file = path(name);
    if (!ffmpeg(encoding + QStringList{file}))
        QSKIP("ffmpeg (with libx264 and libvpx) is needed to make the video");

    const PreviewWorker::Result still = stillOf(file, bounds);
    QCOMPARE(still.status, Status::Done);
    QCOMPARE(still.fullSize, fullSize);
    QCOMPARE(still.image.size(), frameSize);
    QVERIFY2(litShare(still.image) > 0.5,
             qPrintable(u"%1 of the still is lit"_s.arg(litShare(still.image))));
}

// A video filmed upright on a phone is stored sideways with a turn to apply: the still is
// turned the way ffmpeg itself turns it.
void TestPreviewWorker::videoTurnedAsPlayersTurnIt()
{
    PreviewWorker::setDeadline(20s);
    const QString picture = path(u"quadrants.png"_s);
    QVERIFY(writeImage(quadrantImage(QSize(160, 96)), picture, "png"));
    const QString flat = path(u"flat.mp4"_s);
    const QString turned = path(u"turned.mp4"_s);
    const QString reference = path(u"reference.png"_s);
    if (!ffmpeg({u"-loop"_s, u"1"_s, u"-i"_s, picture, u"-t"_s, u"1"_s, u"-r"_s, u"10"_s, u"-c:v"_s,
                 u"libx264"_s, u"-pix_fmt"_s, u"yuv420p"_s, flat}))
        QSKIP("ffmpeg with libx264 is needed to make the video");
    // ffmpeg applies the turn when it decodes (its default), which is what players show.
    const auto turnedFrame = [&] {
        QFile::remove(reference);
        return ffmpeg({u"-i"_s, turned, u"-frames:v"_s, u"1"_s, reference}) ? QImage(reference)
                                                                            : QImage();
    };
    // The rotation tag up to FFmpeg 5 (Debian 12); the display matrix option from FFmpeg 6 on.
    QVERIFY(
        ffmpeg({u"-i"_s, flat, u"-c"_s, u"copy"_s, u"-metadata:s:v:0"_s, u"rotate=90"_s, turned}));
    QImage expected = turnedFrame();
    if (expected.size() != QSize(96, 160)) {
        QFile::remove(turned);
        QVERIFY(ffmpeg(
            {u"-display_rotation:v:0"_s, u"-90"_s, u"-i"_s, flat, u"-c"_s, u"copy"_s, turned}));
        expected = turnedFrame();
    }
    QCOMPARE(expected.size(), QSize(96, 160));

    const PreviewWorker::Result still = stillOf(turned, QSize(200, 200));
    QCOMPARE(still.status, Status::Done);
    QCOMPARE(still.fullSize, QSize(96, 160));
    QCOMPARE(still.image.size(), QSize(96, 160));
    const QList<QColor> shown = quadrantColors(still.image);
    const QList<QColor> wanted = quadrantColors(expected);
    for (int quadrant = 0; quadrant < 4; ++quadrant)
        QVERIFY2(roughlyEqual(shown[quadrant], wanted[quadrant]),
                 qPrintable(u"quadrant %1: %2, ffmpeg shows %3"_s.arg(quadrant).arg(
                     shown[quadrant].name(), wanted[quadrant].name())));
}

void TestPreviewWorker::unreadableVideo_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("keptBytes"); // of the good video; 0 for noise
    QTest::newRow("cut short before its index") << u"cut.mp4"_s << 20000;
    QTest::newRow("noise named .mp4") << u"noise.mp4"_s << 0;
    QTest::newRow("empty header only") << u"header.mp4"_s << 32;
}

// A video that cannot be read gets no still, the worker says so instead of dying, and the same
// worker makes the next video's still.
void TestPreviewWorker::unreadableVideo()
{
    QFETCH(QString, name);
    QFETCH(int, keptBytes);
    const QString good = goodVideo();
    if (good.isEmpty())
        QSKIP("ffmpeg with libx264 is needed to make the video");
    QByteArray bytes;
    if (keptBytes > 0) {
        QFile source(good);
        QVERIFY(source.open(QIODevice::ReadOnly));
        bytes = source.read(keptBytes);
        QCOMPARE(bytes.size(), keptBytes);
    } else {
        for (int i = 0; i < 50000; ++i)
            bytes.append(char((i * 7919 + i / 13) & 0xff));
    }
    const QString bad = path(name);
    writeBytes(bad, bytes);
    QCOMPARE(stillOf(good, QSize(64, 64)).status, Status::Done);
    const int started = PreviewWorker::startedWorkers();

    const PreviewWorker::Result failed = stillOf(bad, QSize(64, 64));
    QCOMPARE(failed.status, Status::Failed);
    QVERIFY(failed.image.isNull());

    const PreviewWorker::Result next = stillOf(good, QSize(64, 64));
    QCOMPARE(next.status, Status::Done);
    QCOMPARE(next.image.size(), QSize(64, 36));
    QCOMPARE(PreviewWorker::startedWorkers(), started);
}

// The video module's libraries cost each process that loads them several megabytes of its own:
// videos asked for at once, by the list and the panel, go to the one process holding it.
void TestPreviewWorker::videosGoToOneProcess()
{
    const QString video = goodVideo();
    if (video.isEmpty())
        QSKIP("ffmpeg (with libx264) is needed to make the video");
    if (addressSanitized)
        QSKIP("AddressSanitizer slows a still past the time a video waits for the holder");
    PreviewWorker::setDeadline(10s);
    QThreadPool threads;
    threads.setMaxThreadCount(6);
    QList<QFuture<Status>> results;
    for (int i = 0; i < 6; ++i) {
        const auto lane = i % 2 ? PreviewWorker::Lane::Thumbnail : PreviewWorker::Lane::Preview;
        results.append(QtConcurrent::run(&threads, [video, lane] {
            const auto file = PreviewFile::open(video);
            WorkerProtocol::Request request;
            request.job = WorkerProtocol::Job::VideoFrame;
            request.width = 64;
            request.height = 64;
            return PreviewWorker::run(*file, request, lane).status;
        }));
    }
    for (auto &result : results)
        QCOMPARE(result.result(), Status::Done);
    QCOMPARE(processesHoldingVideo(), 1);
    // Pictures meanwhile go to other processes, so the holder is free for the next video.
    QCOMPARE(ImageDecoder::decode(goodPicture(), QSize(16, 16)).status, Status::Done);
    QCOMPARE(stillOf(video, QSize(32, 32)).status, Status::Done);
    QCOMPARE(processesHoldingVideo(), 1);
}

QTEST_MAIN(TestPreviewWorker)
#include "tst_PreviewWorker.moc"
