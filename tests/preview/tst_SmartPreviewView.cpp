// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileKinds.h"
#include "FilePreviewView.h"
#include "InfoCardPreview.h"
#include "MirelIcons.h"
#include "PathCodec.h"
#include "PreviewThreads.h"
#include "RunInBackground.h"
#include "SmartPreviewView.h"
#include "TestHome.h"
#include "ZoomableImageView.h"

#include <QPointer>
#include <QScopeGuard>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

#include <atomic>

using namespace Qt::StringLiterals;

class TestSmartPreviewView final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    // Names Qt cannot remove.
    void cleanupTestCase() { TestHome::removeTree(QFile::encodeName(m_dir.path())); }
    void fileKinds_data();
    void fileKinds();
    void setUrl();
    void undecodablePictureShowsTheCard();
    void stuckReadLeavesQtsPoolAlone();
    void quitDropsQueuedWorkAndWaitsOnlyUntilTheDeadline();

private:
    QUrl file(const QString &name) const { return QUrl::fromLocalFile(m_dir.filePath(name)); }
    QTemporaryDir m_dir;
};

void TestSmartPreviewView::initTestCase()
{
    QVERIFY(writeImage(quadrantImage(QSize(80, 60)), m_dir.filePath(u"one.png"_s), "png"));
    QVERIFY(writeImage(quadrantImage(QSize(60, 80)), m_dir.filePath(u"two.JPG"_s), "jpeg"));
    writeBytes(m_dir.filePath(u"notes.txt"_s), "Some notes\n");
}

void TestSmartPreviewView::cleanup()
{
    previewThreadPool().waitForDone();
    QCoreApplication::sendPostedEvents();
}

// Which files the zoomable view takes, and the symbol shown for a file without a picture.
void TestSmartPreviewView::fileKinds_data()
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
    QTest::newRow("application folder with trailing slash")
        << QUrl::fromLocalFile(u"/home/ann/Downloads/Tool.app/"_s) << false << u"app.fill"_s
        << u"app"_s;
    QTest::newRow("dot in a folder name only")
        << file(u"my.photos/holiday"_s) << false << doc << QString();
    QTest::newRow("percent-encoded characters in the URL")
        << file(u"100% sure #1.png"_s) << true << photo << u"png"_s;
}

void TestSmartPreviewView::fileKinds()
{
    QFETCH(QUrl, url);
    QFETCH(bool, zoomable);
    QFETCH(QString, symbol);
    QFETCH(QString, extension);

    QCOMPARE(lowerCasedPathExtension(url), extension);
    QCOMPARE(isZoomableImage(url), zoomable);
    QCOMPARE(iconName(url), symbol);
    QVERIFY(MirelIcons::symbolNames().contains(symbol));
}

void TestSmartPreviewView::setUrl()
{
    SmartPreviewView view(file(u"one.png"_s));
    view.resize(300, 200);
    view.show();
    QPointer<ZoomableImageView> image = view.imageView();
    QSignalSpy loaded(image.data(), &ZoomableImageView::imageLoaded);
    QVERIFY(loaded.wait(10000));

    // Another picture keeps the view. "Gr\xfcn.png": the name's bytes are not UTF-8; the picture
    // is there all the same.
    const QString latin1 = m_dir.filePath(PathCodec::decode("Gr\xfcn.png"));
    writeBytes(latin1, readFile(m_dir.filePath(u"two.JPG"_s)));
    view.setUrl(QUrl::fromLocalFile(latin1));
    QCOMPARE(view.imageView(), image.data());
    QVERIFY(loaded.wait(10000));
    QCOMPARE(image->fullImageSize(), QSize(60, 80));

    // A change of kind replaces the view at once, not later; the same kind again keeps it.
    view.setUrl(file(u"notes.txt"_s));
    QVERIFY(image.isNull());
    QPointer<FilePreviewView> preview = view.filePreview();
    QVERIFY(preview);
    QCOMPARE(preview->url(), file(u"notes.txt"_s));
    view.setUrl(file(u"report.pdf"_s));
    QCOMPARE(view.filePreview(), preview.data());
    QCOMPARE(preview->url(), file(u"report.pdf"_s));

    view.setUrl(file(u"two.JPG"_s));
    QVERIFY(preview.isNull());
    QVERIFY(view.imageView());
    QCOMPARE(view.imageView()->url(), file(u"two.JPG"_s));
    QCOMPARE(view.findChildren<QWidget *>(Qt::FindDirectChildrenOnly).size(), 1);
}

void TestSmartPreviewView::undecodablePictureShowsTheCard()
{
    // A HEIC header with no picture after it.
    const QString path = m_dir.filePath(u"phone.heic"_s);
    writeBytes(path, QByteArray("\0\0\0\x18"
                                "ftypheic\0\0\0\0heicmif1",
                                24));
    SmartPreviewView view(QUrl::fromLocalFile(path));
    view.resize(300, 200);
    view.show();
    // The information card, not a spinner that never stops.
    QTRY_VERIFY(view.filePreview() && view.filePreview()->currentPreview());
    QVERIFY(!view.imageView());
    auto *card = qobject_cast<InfoCardPreview *>(view.filePreview()->currentPreview());
    QVERIFY(card);
    QCOMPARE(card->nameText(), u"phone.heic"_s);

    // The next picture is shown in the zoomable view again.
    view.setUrl(file(u"one.png"_s));
    QVERIFY(view.imageView());
    QSignalSpy loaded(view.imageView(), &ZoomableImageView::imageLoaded);
    QVERIFY(loaded.wait(10000));
}

void TestSmartPreviewView::stuckReadLeavesQtsPoolAlone()
{
    // However many reads hang (a stalled mount), Qt's own pool stays free for painting.
    // Qt may still be finishing work of its own from earlier tests there.
    QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
    QSemaphore gate;
    QObject receiver;
    int delivered = 0;
    const int stuck = QThreadPool::globalInstance()->maxThreadCount() + 1;
    auto release = qScopeGuard([&gate, stuck] { gate.release(stuck); }); // even on a failure
    for (int i = 0; i < stuck; ++i) {
        auto block = [&gate] {
            gate.acquire();
        };
        auto count = [&delivered] {
            ++delivered;
        };
        runInBackground(&receiver, std::move(block), std::move(count));
    }
    QTRY_VERIFY(previewThreadPool().activeThreadCount() > 0);
    QCOMPARE(QThreadPool::globalInstance()->activeThreadCount(), 0);
    QVERIFY(QThreadPool::globalInstance()->tryStart([] {}));
    release.dismiss();
    gate.release(stuck);
    QTRY_COMPARE(delivered, stuck);
}

void TestSmartPreviewView::quitDropsQueuedWorkAndWaitsOnlyUntilTheDeadline()
{
    // As the application goes, work not started is dropped and running work gets until the
    // deadline: a job still inside a library after exit() began would crash the quit.
    QSemaphore gate;
    QSemaphore entered;
    std::atomic<int> finished = 0;
    std::atomic<int> queuedRan = 0;
    const int threads = previewThreadPool().maxThreadCount();
    auto release = qScopeGuard([&gate, threads] { gate.release(threads); }); // even on a failure
    for (int i = 0; i < threads; ++i)
        previewThreadPool().start([&] {
            entered.release();
            gate.acquire();
            ++finished;
        });
    QVERIFY(entered.tryAcquire(threads, 10000));
    for (int i = 0; i < 3; ++i)
        previewThreadPool().start([&queuedRan] { ++queuedRan; });

    // Every thread is held at the gate: a read hanging on a stalled mount, as far as quitting
    // can tell. The deadline passes, and the queued work is gone all the same.
    QVERIFY(!finishPreviewThreads(QDeadlineTimer(0)));
    release.dismiss();
    gate.release(threads);
    QVERIFY(finishPreviewThreads(QDeadlineTimer(QDeadlineTimer::Forever)));
    QCOMPARE(finished.load(), threads);
    QCOMPARE(queuedRan.load(), 0);
}

QTEST_MAIN(TestSmartPreviewView)
#include "tst_SmartPreviewView.moc"
