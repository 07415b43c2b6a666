// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileThumbnailView.h"
#include "PathCodec.h"
#include "PreviewThreads.h"
#include "TestHome.h"
#include "ThumbnailCache.h"
#include "ThumbnailLoader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QThreadPool>

#include <optional>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QColor green(20, 170, 60);
const QColor red(210, 30, 30);
const QDateTime entryTime(QDate(2026, 5, 1), QTime(12, 0, 7));

QImage filled(const QSize &size, const QColor &color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// Both through the name's bytes, which need not be UTF-8.
void setModified(const QString &path, const QDateTime &when)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(when.toSecsSinceEpoch()), 0}};
    QCOMPARE(::utimensat(AT_FDCWD, PathCodec::encode(path).constData(), times, 0), 0);
}

int modeOf(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return static_cast<int>(info.st_mode & 07777);
}

// The URI as the thumbnail standard spells it, built by hand rather than by the code
// under test: file:// and the percent-encoded bytes of the absolute path.
QByteArray standardUri(const QString &path)
{
    return "file://" + PathCodec::encode(path).toPercentEncoding("/");
}

QString entryName(const QString &path)
{
    return QString::fromLatin1(
               QCryptographicHash::hash(standardUri(path), QCryptographicHash::Md5).toHex()) +
           u".png"_s;
}

// A green video of `seconds` seconds at 320 x 240, H.264; false without ffmpeg.
bool writeGreenVideo(const QString &path, int seconds)
{
    const QString ffmpeg = QStandardPaths::findExecutable(u"ffmpeg"_s);
    if (ffmpeg.isEmpty())
        return false;
    QProcess process;
    process.start(ffmpeg,
                  {u"-loglevel"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                   u"color=c=0x14aa3c:size=320x240:rate=25"_s, u"-t"_s, QString::number(seconds),
                   u"-c:v"_s, u"libx264"_s, u"-pix_fmt"_s, u"yuv420p"_s, path});
    return process.waitForFinished(60000) && process.exitCode() == 0;
}

bool centreIs(const QImage &image, const QColor &color)
{
    return roughlyEqual(image.pixelColor(image.width() / 2, image.height() / 2), color, 23);
}

// A thumbnail source that records what it is asked and answers what the test says. The test
// touches its lists only while no request runs.
class ScriptedSource final : public ThumbnailSource
{
public:
    QImage thumbnail(const ThumbnailRequest &request) override
    {
        if (gate)
            gate->acquire();
        calls.append({request.path, QThread::currentThread() == qApp->thread()});
        return answers.isEmpty() ? QImage() : answers.takeFirst();
    }

    QList<QImage> answers;
    QList<std::pair<QString, bool>> calls; // the path asked for, and whether on the main thread
    QSemaphore *gate = nullptr;            // when set, each request first waits for it
};

} // namespace

class TestFileThumbnailView final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_files.isValid()); }
    void init();
    void cleanup();
    // Names Qt cannot remove.
    void cleanupTestCase() { TestHome::removeTree(QFile::encodeName(m_files.path())); }
    void cacheRootWithoutUsableSetting();
    void cachedEntry_data();
    void cachedEntry();
    void generatedEntry_data();
    void generatedEntry();
    void fileWithoutThumbnailKeepsIcon_data();
    void fileWithoutThumbnailKeepsIcon();
    void failureIsNotRetriedUntilFileChanges();
    void requestedOffMainThreadOnEachAppearance();
    void viewGoneBeforeAnswer();
    void roundedCornersAreSmoothOnDenseScreens();

private:
    QString file(const QString &name) const { return m_files.filePath(name); }
    QString thumbnails() const { return m_cacheHome->path() + u"/thumbnails"_s; }
    static bool answered(FileThumbnailView &view);
    static std::optional<QImage> thumbnailShownFor(const QString &path);

    QTemporaryDir m_files;
    std::optional<QTemporaryDir> m_cacheHome; // XDG_CACHE_HOME, empty for each test
};

void TestFileThumbnailView::init()
{
    m_cacheHome.emplace();
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cacheHome->path()));
}

void TestFileThumbnailView::cleanup()
{
    // Work still running must not write into the next test's cache.
    previewThreadPool().waitForDone();
    m_cacheHome.reset();
}

// Shows the view and waits until its request has been answered.
bool TestFileThumbnailView::answered(FileThumbnailView &view)
{
    QSignalSpy finished(&view, &FileThumbnailView::requestFinished);
    view.resize(60, 60);
    view.show();
    return finished.wait(10000);
}

// The thumbnail a fresh view of `path` shows once answered, or nothing if no answer came.
std::optional<QImage> TestFileThumbnailView::thumbnailShownFor(const QString &path)
{
    FileThumbnailView view(QUrl::fromLocalFile(path));
    if (!answered(view))
        return std::nullopt;
    return view.thumbnail();
}

void TestFileThumbnailView::cacheRootWithoutUsableSetting()
{
    // An XDG_CACHE_HOME that is set is used by every other test here.
    for (const char *setting : {"", "relative/so/ignored"}) {
        qputenv("XDG_CACHE_HOME", setting);
        QCOMPARE(ThumbnailCache::defaultRoot(), QDir::homePath() + u"/.cache/thumbnails"_s);
    }
}

void TestFileThumbnailView::cachedEntry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mtime");
    QTest::addColumn<bool>("ownUri");
    QTest::addColumn<bool>("used");
    const QString seconds = QString::number(entryTime.toSecsSinceEpoch());
    QTest::newRow("valid, characters special in URLs")
        << u"a#b%c?d.png"_s << seconds << true << true;
    QTest::newRow("MTime one second older")
        << u"edited.png"_s << QString::number(entryTime.toSecsSinceEpoch() - 1) << true << false;
    QTest::newRow("URI of another file") << u"edited.png"_s << seconds << false << false;
}

void TestFileThumbnailView::cachedEntry()
{
    QFETCH(QString, name);
    QFETCH(QString, mtime);
    QFETCH(bool, ownUri);
    QFETCH(bool, used);
    const QString path = file(name);
    QVERIFY(writeImage(filled(QSize(300, 200), green), path, "PNG"));
    setModified(path, entryTime);

    // What another program left in the cache: red, so it shows whether it was used.
    QImage left = filled(QSize(128, 85), red);
    left.setText(u"Thumb::URI"_s,
                 QString::fromUtf8(standardUri(ownUri ? path : file(u"other.png"_s))));
    left.setText(u"Thumb::MTime"_s, mtime);
    const QString entry = thumbnails() + u"/normal/"_s + entryName(path);
    QVERIFY(QDir().mkpath(QFileInfo(entry).absolutePath()));
    QVERIFY(left.save(entry, "PNG"));
    const QByteArray before = readFile(entry);

    const std::optional<QImage> shown = thumbnailShownFor(path);
    QVERIFY(shown);
    if (used) {
        QVERIFY2(centreIs(*shown, red), "the cached thumbnail was not used");
        QCOMPARE(readFile(entry), before);
        return;
    }
    QVERIFY2(centreIs(*shown, green), "the unusable entry was shown");
    // The entry is replaced by one of the current file.
    QVERIFY(centreIs(QImage(entry), green));
}

void TestFileThumbnailView::generatedEntry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qreal>("scale");
    QTest::addColumn<QString>("folder"); // the standard's folder for the size asked
    QTest::addColumn<QSize>("expectedSize");

    QVERIFY(filled(QSize(1600, 1200), green).save(file(u"camera.jpg"_s), "JPEG"));
    writeBytes(file(u"drawing.svg"_s),
               "<svg xmlns='http://www.w3.org/2000/svg' width='24' height='12'>"
               "<rect width='24' height='12' fill='#14aa3c'/></svg>");
    {
        QPdfWriter pdf(file(u"letter.pdf"_s));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        QPainter painter(&pdf);
        painter.fillRect(QRect(0, 0, pdf.width(), pdf.height()), green);
    }

    QVERIFY(
        writeImage(filled(QSize(300, 200), green), file(PathCodec::decode("Gr\xfcn.png")), "PNG"));

    const QString normal = u"normal"_s;
    QTest::newRow("big JPEG on a dense screen, large")
        << u"camera.jpg"_s << 3.0 << u"large"_s << QSize(256, 192);
    QTest::newRow("name in Latin-1, not UTF-8")
        << PathCodec::decode("Gr\xfcn.png") << 1.0 << normal << QSize(128, 85);
    QTest::newRow("drawing, rendered to the size")
        << u"drawing.svg"_s << 1.0 << normal << QSize(128, 64);
    QTest::newRow("first page of a PDF") << u"letter.pdf"_s << 1.0 << normal << QSize(90, 128);

    if (writeGreenVideo(file(u"holiday.mp4"_s), 2))
        QTest::newRow("H.264 video, a still of it")
            << u"holiday.mp4"_s << 1.0 << normal << QSize(128, 96);

    const QString heifEnc = QStandardPaths::findExecutable(u"heif-enc"_s);
    if (!heifEnc.isEmpty()) {
        QVERIFY(filled(QSize(640, 480), green).save(file(u"heic-source.png"_s), "PNG"));
        QProcess process;
        process.start(heifEnc, {u"-q"_s, u"90"_s, file(u"heic-source.png"_s), u"-o"_s,
                                file(u"phone.heic"_s)});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        QTest::newRow("HEIC through libheif") << u"phone.heic"_s << 1.0 << normal << QSize(128, 96);
    }
}

void TestFileThumbnailView::generatedEntry()
{
    QFETCH(QString, name);
    QFETCH(qreal, scale);
    QFETCH(QString, folder);
    QFETCH(QSize, expectedSize);
    const QString path = file(name);
    const QDateTime modified(QDate(2026, 4, 2), QTime(8, 30, 59));
    setModified(path, modified);

    const QImage shown =
        ThumbnailLoader().thumbnail({path, FileThumbnailView::requestedPointSize(), scale, {}});
    QCOMPARE(shown.size(), expectedSize);
    QVERIFY(centreIs(shown, green));

    // Exactly one entry, under the standard's name in its size's folder: no temporary file left
    // behind, nothing in another folder.
    QCOMPARE(QDir(thumbnails()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{folder});
    const QString entries = thumbnails() + u'/' + folder;
    QCOMPARE(QDir(entries).entryList(QDir::Files | QDir::Hidden), QStringList{entryName(path)});
    const QString entry = entries + u'/' + entryName(path);
    QImageReader reader(entry);
    QCOMPARE(reader.format(), QByteArray("png"));
    const QImage stored = reader.read();
    QCOMPARE(stored.size(), expectedSize);
    QCOMPARE(stored.text(u"Thumb::URI"_s).toUtf8(), standardUri(path));
    QCOMPARE(stored.text(u"Thumb::MTime"_s), QString::number(modified.toSecsSinceEpoch()));
    QCOMPARE(modeOf(entry), 0600);
    QCOMPARE(modeOf(entries), 0700);
    QCOMPARE(modeOf(thumbnails()), 0700);
}

void TestFileThumbnailView::fileWithoutThumbnailKeepsIcon_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<bool>("failureRemembered");
    QTest::newRow("picture.png holding text")
        << u"picture.png"_s << QByteArray("just some words") << u"photo.fill"_s << true;
    QTest::newRow("broken PDF") << u"broken.pdf"_s << QByteArray("%PDF-1.7 nothing else")
                                << u"doc.fill"_s << true;
    QTest::newRow("video cut short after its header") << u"clip.mp4"_s
                                                      << QByteArray("\0\0\0\x18"
                                                                    "ftypisom\0\0\x02\0isomiso2",
                                                                    24)
                                                      << u"video.fill"_s << true;
    QTest::newRow("archive, a kind without thumbnails")
        << u"backup.zip"_s << QByteArray("PK\x03\x04", 4) + QByteArray(40, '\0') << u"doc.zipper"_s
        << false;
}

void TestFileThumbnailView::fileWithoutThumbnailKeepsIcon()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, symbol);
    QFETCH(bool, failureRemembered);
    const QString path = file(name);
    writeBytes(path, content);

    FileThumbnailView view(QUrl::fromLocalFile(path));
    QVERIFY(answered(view));
    QVERIFY(view.thumbnail().isNull());
    QCOMPARE(view.symbolName(), symbol);

    const QDir fail(thumbnails() + u"/fail"_s);
    const QStringList programs = fail.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (!failureRemembered) {
        QVERIFY(programs.isEmpty());
        return;
    }
    QCOMPARE(programs.size(), 1);
    QVERIFY2(programs.first().startsWith(u"mirel-"_s), qPrintable(programs.first()));
    const QString marker = fail.filePath(programs.first() + u'/' + entryName(path));
    QCOMPARE(QImage(marker).text(u"Thumb::URI"_s).toUtf8(), standardUri(path));
    QVERIFY(!QFileInfo::exists(thumbnails() + u"/normal/"_s + entryName(path)));
}

void TestFileThumbnailView::failureIsNotRetriedUntilFileChanges()
{
    const QString path = file(u"later.png"_s);
    const QDateTime modified(QDate(2026, 1, 2), QTime(3, 4, 5));
    writeBytes(path, "not yet a picture");
    setModified(path, modified);
    const std::optional<QImage> nothing = QImage();
    QCOMPARE(thumbnailShownFor(path), nothing);

    // Readable now, but with the same time stamp: the recorded failure stands, so the
    // file is not decoded again.
    QVERIFY(filled(QSize(50, 50), green).save(path, "PNG"));
    setModified(path, modified);
    QCOMPARE(thumbnailShownFor(path), nothing);

    // Once the file changes, it is tried again.
    setModified(path, modified.addSecs(60));
    QCOMPARE(thumbnailShownFor(path).value_or(QImage()).size(), QSize(50, 50));
}

void TestFileThumbnailView::requestedOffMainThreadOnEachAppearance()
{
    auto source = std::make_shared<ScriptedSource>();
    source->answers.append(filled(QSize(10, 10), green));
    const QString path = file(u"shown.png"_s);
    FileThumbnailView view(QUrl::fromLocalFile(path));
    view.setThumbnailSource(source);

    // Created is not shown: nothing is asked yet.
    QCoreApplication::processEvents();
    previewThreadPool().waitForDone();
    QVERIFY(source->calls.isEmpty());

    QSignalSpy changed(&view, &FileThumbnailView::thumbnailChanged);
    view.resize(32, 32);
    view.show();
    QVERIFY(changed.wait());
    QCOMPARE(source->calls, (QList<std::pair<QString, bool>>{{path, false}}));
    QVERIFY(centreIs(view.thumbnail(), green));

    // Each appearance asks again; one that gets nothing (the file went away, say) keeps the
    // picture.
    view.hide();
    QSignalSpy finished(&view, &FileThumbnailView::requestFinished);
    view.show();
    QVERIFY(finished.wait());
    QCOMPARE(source->calls.size(), 2);
    QVERIFY(centreIs(view.thumbnail(), green));
}

void TestFileThumbnailView::viewGoneBeforeAnswer()
{
    QSemaphore gate;
    auto source = std::make_shared<ScriptedSource>();
    source->gate = &gate;
    source->answers.append(filled(QSize(10, 10), green));
    {
        FileThumbnailView view(QUrl::fromLocalFile(file(u"scrolled-away.png"_s)));
        view.setThumbnailSource(source);
        view.show();
    }
    // The answer comes after the row is gone; it must land nowhere.
    gate.release();
    previewThreadPool().waitForDone();
    QCoreApplication::processEvents();
    QCOMPARE(source->calls.size(), 1);
}

void TestFileThumbnailView::roundedCornersAreSmoothOnDenseScreens()
{
    auto source = std::make_shared<ScriptedSource>();
    source->answers.append(filled(QSize(64, 64), green));
    FileThumbnailView view(QUrl::fromLocalFile(file(u"photo.png"_s)));
    view.setThumbnailSource(source);
    view.setCornerRadius(4);
    QVERIFY(answered(view));
    view.resize(32, 32);

    QImage picture(64, 64, QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(2);
    picture.fill(Qt::transparent);
    view.render(&picture, QPoint(), QRegion(), QWidget::RenderFlags());
    QCOMPARE(picture.pixelColor(0, 0).alpha(), 0);     // the corner is cut away
    QCOMPARE(picture.pixelColor(32, 32).alpha(), 255); // the middle is the picture
    // Along the curve, partly covered pixels blend at the screen's pixels: no jagged steps.
    int partial = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const int alpha = picture.pixelColor(x, y).alpha();
            partial += alpha > 0 && alpha < 255;
        }
    }
    QVERIFY2(partial >= 3, qPrintable(QString::number(partial)));
}

QTEST_MAIN(TestFileThumbnailView)
#include "tst_FileThumbnailView.moc"
