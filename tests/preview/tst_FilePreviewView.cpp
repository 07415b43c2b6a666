// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchivePreview.h"
#include "ArchivePreviewLoader.h"
#include "FilePreviewView.h"
#include "ImagePreview.h"
#include "InfoCardPreview.h"
#include "MediaPreview.h"
#include "PathCodec.h"
#include "PdfPreview.h"
#include "PreviewFile.h"
#include "PreviewThreads.h"
#include "TestArchives.h"
#include "TestHome.h"
#include "TextPreview.h"
#include "ThumbnailCache.h"
#include "VideoFrameView.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMediaPlayer>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QToolButton>
#include <QVideoWidget>

#include <algorithm>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Blank pages: only their count is looked at.
void writePdf(const QString &path, int pages)
{
    QPdfWriter writer(path);
    QPainter painter(&writer);
    for (int page = 1; page < pages; ++page)
        writer.newPage();
}

// One second of silence, 8 kHz 16-bit mono PCM. The header: RIFF size; format chunk size, PCM,
// mono, rate, bytes per second, bytes per sample, bits per sample; data size.
const QByteArray wavSilence = QByteArray("RIFF\xa4\x3e\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0"
                                         "\x40\x1f\0\0\x80\x3e\0\0\x02\0\x10\0data\x80\x3e\0\0",
                                         44) +
                              QByteArray(16000, '\0');

} // namespace

class TestFilePreviewView final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void initTestCase();
    // Names Qt cannot remove.
    void cleanupTestCase() { TestHome::removeTree(QFile::encodeName(m_files.path())); }
    void previewerForType_data();
    void previewerForType();
    void mediaStartsPlayingWhenShown_data();
    void mediaStartsPlayingWhenShown();
    void videoShowsItsStillAtOnce_data();
    void videoShowsItsStillAtOnce();
    void longTextIsCut_data();
    void longTextIsCut();
    void informationCard();
    void setUrl();
    void pipeWithWaitingWriterIsNeverOpened();

private:
    QString file(const QString &name) const { return m_files.filePath(name); }

    QTemporaryDir m_files;
    bool m_haveMovie = false;
};

void TestFilePreviewView::initTestCase()
{
    QVERIFY(m_files.isValid());
    writePdf(file(u"report.pdf"_s), 3);
    writeBytes(file(u"notes.txt"_s), "Buy milk\nCall Anna\n");
    writeBytes(file(u"main.cpp"_s), "int main()\n{\n    return 0;\n}\n");
    writeBytes(file(u"voice.wav"_s), wavSilence);
    writeBytes(file(u"drawing.svg"_s),
               "<svg xmlns='http://www.w3.org/2000/svg' width='24' height='12'><rect width='24' "
               "height='12' fill='#d02020'/></svg>");
    writeBytes(file(u"broken.svg"_s), "<svg this is not");
    writeBytes(file(u"broken.pdf"_s), "%PDF-1.4 and then nothing of use");
    writeBytes(file(u"backup.zip"_s), QByteArray("PK\x03\x04", 4) + QByteArray(60, '\0'));
    writeBytes(file(u"blob.qqxz"_s), QByteArray("\x00\x01\x02\xff\xfe", 5).repeated(50));
    writeBytes(file(u"empty.txt"_s), QByteArray());
    QVERIFY(
        writeArchive(file(u"bundle.zip"_s),
                     format(archive_write_set_format_zip, archive_write_zip_set_compression_store),
                     {{.path = "readme.txt", .data = "read me first\n"},
                      {.path = "src/main.c", .data = "int main(void) { return 0; }\n"}}));
    writeBytes(file(u"noise.7z"_s), QByteArray("\x5a\x13\x77\x01", 4).repeated(40));
    // Names whose bytes are not UTF-8 ("\xe9" is Latin-1 for "é"), as Mirel carries them.
    writeBytes(file(PathCodec::decode("caf\xe9.txt")), "Caf\xc3\xa9 au lait\n");
    writeBytes(file(PathCodec::decode("r\xe9sum\xe9.pdf")), readFile(file(u"report.pdf"_s)));
    writeBytes(file(PathCodec::decode("voix \xe9t\xe9.wav")), wavSilence);
    QVERIFY(QDir(m_files.path()).mkdir(u"Tool.app"_s));

    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(QColor(30, 160, 60));
    QVERIFY(writeImage(picture, file(u"scan.tif"_s), "tiff"));

    // A second of a test picture, encoded by ffmpeg when it is installed.
    const QString ffmpeg = QStandardPaths::findExecutable(u"ffmpeg"_s);
    if (!ffmpeg.isEmpty()) {
        QProcess process;
        process.start(ffmpeg, {u"-loglevel"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                               u"testsrc=size=160x120:rate=10"_s, u"-t"_s, u"2"_s, u"-c:v"_s,
                               u"mpeg4"_s, u"-pix_fmt"_s, u"yuv420p"_s, file(u"clip.mp4"_s)});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        m_haveMovie = true;
    }
}

void TestFilePreviewView::previewerForType_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("previewer");

    QTest::newRow("PDF") << u"report.pdf"_s << u"PdfPreview"_s;
    QTest::newRow("source code") << u"main.cpp"_s << u"TextPreview"_s;
    QTest::newRow("SVG drawing, although it is XML text") << u"drawing.svg"_s << u"ImagePreview"_s;
    QTest::newRow("TIFF under its short extension") << u"scan.tif"_s << u"ImagePreview"_s;
    QTest::newRow("unknown type") << u"blob.qqxz"_s << u"InfoCardPreview"_s;
    QTest::newRow("zip archive") << u"bundle.zip"_s << u"ArchivePreviewLoader"_s;
    QTest::newRow("7z that is no archive falls back") << u"noise.7z"_s << u"InfoCardPreview"_s;
    QTest::newRow("folder") << u"Tool.app"_s << u"InfoCardPreview"_s;
    QTest::newRow("file that went away") << u"gone.mkv"_s << u"InfoCardPreview"_s;
    QTest::newRow("empty text file") << u"empty.txt"_s << u"InfoCardPreview"_s;
    QTest::newRow("text named in Latin-1") << PathCodec::decode("caf\xe9.txt") << u"TextPreview"_s;
    QTest::newRow("PDF named in Latin-1")
        << PathCodec::decode("r\xe9sum\xe9.pdf") << u"PdfPreview"_s;
    QTest::newRow("PDF that cannot be opened falls back")
        << u"broken.pdf"_s << u"InfoCardPreview"_s;
    QTest::newRow("SVG that cannot be drawn falls back") << u"broken.svg"_s << u"InfoCardPreview"_s;
}

void TestFilePreviewView::previewerForType()
{
    QFETCH(QString, name);
    QFETCH(QString, previewer);
    FilePreviewView view(QUrl::fromLocalFile(file(name)));
    view.resize(320, 260);
    view.show();
    const auto previewerName = [&view] {
        return view.currentPreview()
                   ? QString::fromLatin1(view.currentPreview()->metaObject()->className())
                   : QString();
    };
    QTRY_COMPARE(previewerName(), previewer);
    QWidget *preview = view.currentPreview();

    // The previewer has really shown the file, not just been created for it.
    if (auto *pdf = qobject_cast<PdfPreview *>(preview)) {
        QTRY_VERIFY(pdf->isLoaded());
        QCOMPARE(pdf->pageCount(), 3);
    } else if (auto *text = qobject_cast<TextPreview *>(preview)) {
        QTRY_VERIFY(text->isLoaded());
        QCOMPARE(text->text(), QString::fromUtf8(readFile(file(name))));
        auto *edit = text->findChild<QPlainTextEdit *>();
        QVERIFY(edit);
        QVERIFY(edit->isReadOnly());
    } else if (auto *image = qobject_cast<ImagePreview *>(preview)) {
        QTRY_VERIFY(image->isLoaded());
        QVERIFY(!image->image().isNull());
    } else if (auto *archive = qobject_cast<ArchivePreviewLoader *>(preview)) {
        QTRY_VERIFY(archive->archivePreview());
        QVERIFY(!archive->isBusy());
        QCOMPARE(archive->archivePreview()->rowCount(), 2);
        QCOMPARE(archive->archivePreview()->pathAt(1), u"src/main.c"_s);
    } else if (auto *card = qobject_cast<InfoCardPreview *>(preview)) {
        QCOMPARE(card->nameText(), name);
        // Only a regular file has a size to show.
        QCOMPARE(card->sizeText().isEmpty(), !QFileInfo(file(name)).isFile());
    }
    // A later failure must not swap the previewer once it has settled.
    QTest::qWait(0);
    QCOMPARE(view.currentPreview(), preview);
}

void TestFilePreviewView::mediaStartsPlayingWhenShown_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("video");
    QTest::newRow("sound") << u"voice.wav"_s << false;
    QTest::newRow("movie") << u"clip.mp4"_s << true;
    QTest::newRow("sound named in Latin-1") << PathCodec::decode("voix \xe9t\xe9.wav") << false;
}

void TestFilePreviewView::mediaStartsPlayingWhenShown()
{
    QFETCH(QString, name);
    QFETCH(bool, video);
    if (video && !m_haveMovie)
        QSKIP("ffmpeg is not installed, so there is no movie to preview (scripts/deps.sh --test)");

    FilePreviewView view(QUrl::fromLocalFile(file(name)));
    QTRY_VERIFY(view.currentPreview());
    auto *media = qobject_cast<MediaPreview *>(view.currentPreview());
    QVERIFY(media);
    QCOMPARE(media->kind(), video ? MediaPreview::Kind::Video : MediaPreview::Kind::Audio);
    // Not before it is on screen...
    QTest::qWait(0);
    QCOMPARE(media->player()->playbackState(), QMediaPlayer::StoppedState);

    // ...but as soon as it is, without a click, and it keeps going (with or without a
    // sound device on the machine).
    view.resize(320, 260);
    view.show();
    QTRY_COMPARE(media->player()->playbackState(), QMediaPlayer::PlayingState);
    QCOMPARE(media->player()->error(), QMediaPlayer::NoError);
    if (video) {
        // The picture is painted by the CPU: a QVideoWidget would bring up OpenGL, which
        // without a graphics card costs more than a hundred megabytes for good.
        QVERIFY(media->findChildren<QVideoWidget *>().isEmpty());
        auto *frames = media->findChild<VideoFrameView *>();
        QVERIFY(frames);
        QTRY_VERIFY(!frames->image().isNull());
        QVERIFY(frames->image().width() <= 160); // never larger than the movie
    }

    // The bar follows the playback (so it goes on), and the button pauses and resumes it.
    auto *bar = media->findChild<QSlider *>();
    QVERIFY(bar);
    QTRY_VERIFY(bar->value() > 0);
    QCOMPARE(bar->maximum(), media->player()->duration());
    auto *button = media->findChild<QToolButton *>();
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE(media->player()->playbackState(), QMediaPlayer::PausedState);
    // Moving the bar without dragging it (Home key, a click beside the handle) seeks.
    bar->triggerAction(QAbstractSlider::SliderToMinimum);
    QTRY_COMPARE(media->player()->position(), 0);
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE(media->player()->playbackState(), QMediaPlayer::PlayingState);

    // Hidden with the panel, it is quiet; shown again, it goes on.
    view.hide();
    QCOMPARE(media->player()->playbackState(), QMediaPlayer::PausedState);
    view.show();
    QTRY_COMPARE(media->player()->playbackState(), QMediaPlayer::PlayingState);
}

void TestFilePreviewView::videoShowsItsStillAtOnce_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("cached");
    QTest::newRow("large thumbnail in the shared cache") << u"cached.mp4"_s << true;
    QTest::newRow("nothing cached: a frame from the preview process") << u"fresh.mp4"_s << false;
}

// Before playback has a frame, a video shows a still of itself: the list's large thumbnail when
// the cache has one for this version of the file, else a frame the preview process takes.
void TestFilePreviewView::videoShowsItsStillAtOnce()
{
    QFETCH(QString, name);
    QFETCH(bool, cached);
    if (!m_haveMovie)
        QSKIP("ffmpeg is not installed, so there is no movie to preview (scripts/deps.sh --test)");
    const QString path = file(name);
    QVERIFY(QFile::copy(file(u"clip.mp4"_s), path));
    // Blue and of a shape the movie does not have, so it shows where the still came from.
    QImage entry(256, 100, QImage::Format_RGB32);
    entry.fill(Qt::blue);
    if (cached) {
        struct stat attributes = {};
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &attributes), 0);
        QVERIFY(ThumbnailCache().store(path, ThumbnailCache::Flavor::Large,
                                       qint64(attributes.st_mtim.tv_sec), entry, u"video/mp4"_s,
                                       qint64(attributes.st_size)));
    }

    FilePreviewView view(QUrl::fromLocalFile(path));
    QTRY_VERIFY(view.currentPreview());
    auto *media = qobject_cast<MediaPreview *>(view.currentPreview());
    QVERIFY(media);
    QVERIFY(media->videoView());
    QTRY_VERIFY_WITH_TIMEOUT(!media->videoView()->still().isNull(), 15000);
    const QImage still = media->videoView()->still();
    if (cached) {
        QCOMPARE(still.size(), entry.size());
        QVERIFY(roughlyEqual(still.pixelColor(128, 50), Qt::blue, 10));
    } else {
        // The movie's own 4:3, never enlarged beyond its 160 x 120.
        QCOMPARE(still.size(), QSize(160, 120));
        QVERIFY(!roughlyEqual(still.pixelColor(80, 60), Qt::blue, 10));
    }
}

void TestFilePreviewView::longTextIsCut_data()
{
    constexpr int limit = 256 * 1024;
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<QString>("expected");

    QTest::newRow("exactly the limit") << QByteArray(limit, 'x') << false << QString(limit, u'x');
    // "é" is two bytes in UTF-8; its first byte is the last one shown.
    const QByteArray split = QByteArray(limit - 1, 'a') + "\xc3\xa9" + QByteArray(100, 'b');
    QTest::newRow("character split by the cut") << split << true << QString(limit - 1, u'a');
    const QByteArray latin1 = "Gr\xfc\xdf"
                              "e aus K\xf6ln\n";
    QTest::newRow("Latin-1, not UTF-8") << latin1 << false << u"Grüße aus Köln\n"_s;
}

void TestFilePreviewView::longTextIsCut()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, cut);
    QFETCH(QString, expected);
    const QString path = file(u"long.log"_s);
    writeBytes(path, content);

    TextPreview preview(PreviewFile::open(path));
    preview.resize(320, 260);
    preview.show();
    QTRY_VERIFY(preview.isLoaded());
    QCOMPARE(preview.isCut(), cut);
    QVERIFY(preview.text() == expected); // not QCOMPARE: it would print a quarter megabyte

    // The note says so, and only when something was left out.
    const QList<QLabel *> labels = preview.findChildren<QLabel *>();
    QCOMPARE(std::any_of(labels.begin(), labels.end(),
                         [](QLabel *label) {
                             return label->isVisible() && label->text().contains(u"256"_s);
                         }),
             cut);
}

void TestFilePreviewView::informationCard()
{
    const QString path = file(u"backup.zip"_s);
    const QDateTime modified(QDate(2025, 3, 14), QTime(15, 9, 42));
    QVERIFY(writeFile(path, readFile(path), modified.toSecsSinceEpoch()));
    FilePreviewView view(QUrl::fromLocalFile(path));
    // A zip that is nothing but a header: the list gives way to the card, which says why.
    QTRY_VERIFY(qobject_cast<InfoCardPreview *>(view.currentPreview()));
    auto *card = qobject_cast<InfoCardPreview *>(view.currentPreview());
    QVERIFY(card);
    QCOMPARE(card->reasonText(), ArchivePreview::problemText(ArchiveListing::Problem::Damaged));
    QVERIFY2(card->dateText().contains(u":09"_s), qPrintable(card->dateText()));
    QVERIFY2(!card->dateText().contains(u"42"_s), "seconds are shown");
}

void TestFilePreviewView::setUrl()
{
    FilePreviewView view(QUrl::fromLocalFile(file(u"notes.txt"_s)));
    QTRY_VERIFY(view.currentPreview());
    QPointer<TextPreview> text = qobject_cast<TextPreview *>(view.currentPreview());
    QVERIFY(text);
    QTRY_VERIFY(text->isLoaded());

    // The same file again and again: the previewer and what it shows stay.
    QSignalSpy changes(&view, &FilePreviewView::previewChanged);
    for (int update = 0; update < 3; ++update)
        view.setUrl(QUrl::fromLocalFile(file(u"notes.txt"_s)));
    QCOMPARE(changes.count(), 0);
    QCOMPARE(view.currentPreview(), text.data());
    QVERIFY(text->isLoaded());

    // A large text and a broken PDF are still loading when the panel moves on to another text
    // file: neither their text nor their failure may reach it, and it gets a fresh previewer.
    const QString big = file(u"big.txt"_s);
    writeBytes(big, QByteArray("old file\n").repeated(100000));
    view.setUrl(QUrl::fromLocalFile(big));
    view.setUrl(QUrl::fromLocalFile(file(u"broken.pdf"_s)));
    view.setUrl(QUrl::fromLocalFile(file(u"main.cpp"_s)));
    QTRY_VERIFY(text.isNull());
    auto *code = qobject_cast<TextPreview *>(view.currentPreview());
    QVERIFY(code);
    QTRY_VERIFY(code->isLoaded());
    previewThreadPool().waitForDone();
    QCoreApplication::processEvents();
    QCOMPARE(view.currentPreview(), code);
    QVERIFY(code->text().startsWith(u"int main()"_s));
    QCOMPARE(view.findChildren<TextPreview *>().size(), 1);
    QCOMPARE(view.findChildren<InfoCardPreview *>().size(), 0);
}

// A program that writes into a named pipe waits in open() until some reader opens it. Opening
// the pipe to look at it, even without blocking and without reading, would let that writer go
// on into nobody: a preview must not open it at all, and shows its card.
void TestFilePreviewView::pipeWithWaitingWriterIsNeverOpened()
{
    const QByteArray pipe = QFile::encodeName(m_files.path()) + "/spool.txt";
    QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
    std::atomic<pid_t> writerThread = 0;
    std::atomic<bool> writerOpened = false;
    std::thread writer([&] {
        writerThread = pid_t(::syscall(SYS_gettid));
        const int fd = ::open(pipe.constData(), O_WRONLY | O_CLOEXEC);
        writerOpened = true;
        if (fd >= 0)
            ::close(fd);
    });
    // Whatever happens below, the writer is let go at the end.
    const auto release = qScopeGuard([&] {
        const int reader = ::open(pipe.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        writer.join();
        if (reader >= 0)
            ::close(reader);
        ::unlink(pipe.constData());
    });
    // The writer is inside open(), waiting for a reader.
    const auto inOpen = [&] {
        const pid_t tid = writerThread;
        QFile syscallFile(u"/proc/self/task/%1/syscall"_s.arg(tid));
        return tid != 0 && syscallFile.open(QIODevice::ReadOnly) &&
               syscallFile.readAll().startsWith(QByteArray(QByteArray::number(SYS_openat) + ' '));
    };
    QTRY_VERIFY(inOpen());

    QCOMPARE(PreviewFile::open(QFile::decodeName(pipe))->status(), PreviewFile::Status::NotRegular);
    FilePreviewView view(QUrl::fromLocalFile(QFile::decodeName(pipe)));
    QTRY_VERIFY(qobject_cast<InfoCardPreview *>(view.currentPreview()));
    QCOMPARE(qobject_cast<InfoCardPreview *>(view.currentPreview())->nameText(), u"spool.txt"_s);
    // A writer let go by an open wakes at once; half a second tells.
    for (int waited = 0; waited < 500 && !writerOpened; waited += 10)
        QTest::qWait(10);
    QVERIFY2(!writerOpened, "the preview opened the pipe and let its writer go");
    QVERIFY(inOpen());
}

QTEST_MAIN(TestFilePreviewView)
#include "tst_FilePreviewView.moc"
