// SPDX-License-Identifier: GPL-3.0-or-later
#include "PreviewThreads.h"
#include "TestHome.h"
#include "ZoomableImageView.h"

#include <QApplication>
#include <QNativeGestureEvent>
#include <QPointingDevice>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <QWheelEvent>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

void sendGesture(QWidget *view, Qt::NativeGestureType type, qreal value = 0.0)
{
    const QPointF centre(view->width() / 2.0, view->height() / 2.0);
    QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 2, centre, centre,
                              view->mapToGlobal(centre), value, QPointF());
    QApplication::sendEvent(view, &event);
}

// One touchpad pinch through the given magnifications (relative to the start of the pinch); the
// platform reports each step as the change since the previous one.
void pinch(QWidget *view, const QList<qreal> &magnifications)
{
    sendGesture(view, Qt::BeginNativeGesture);
    qreal previous = 1.0;
    for (qreal magnification : magnifications) {
        sendGesture(view, Qt::ZoomNativeGesture, magnification / previous - 1.0);
        previous = magnification;
    }
    sendGesture(view, Qt::EndNativeGesture);
}

// Returns whether the view took the event for itself.
bool wheel(QWidget *view, int angle, Qt::KeyboardModifiers modifiers)
{
    const QPointF centre(view->width() / 2.0, view->height() / 2.0);
    QWheelEvent event(centre, view->mapToGlobal(centre), QPoint(), QPoint(0, angle), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &event);
    return event.isAccepted();
}

void mouse(QWidget *view, QEvent::Type type, QPointF position)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, position, view->mapToGlobal(position), button, held, Qt::NoModifier);
    QApplication::sendEvent(view, &event);
}

void drag(QWidget *view, QPointF from, QPointF to)
{
    mouse(view, QEvent::MouseButtonPress, from);
    mouse(view, QEvent::MouseMove, to);
    mouse(view, QEvent::MouseButtonRelease, to);
}

// As a real double click arrives: press, release, then the second press as a double click.
void doubleClick(QWidget *view)
{
    const QPointF point(view->width() / 3.0, view->height() / 3.0);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease})
        mouse(view, type, point);
}

// Lets every decode still running finish and deliver its result.
void finishDecodes()
{
    previewThreadPool().waitForDone();
    QCoreApplication::sendPostedEvents();
}

// A 400x300 view of `file`, not shown yet.
std::unique_ptr<ZoomableImageView> viewOf(const QString &file)
{
    auto view = std::make_unique<ZoomableImageView>(QUrl::fromLocalFile(file));
    view->resize(400, 300);
    return view;
}

} // namespace

class TestZoomableImageView final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup() { finishDecodes(); } // no decode of one test may finish inside the next

    void showsFittedImageAfterLoading();
    void pinch_data();
    void pinch();
    void wheelDragAndDoubleClick();
    void urlChangeWhileZoomed();
    void staleResultIsDropped();
    void bigJpegDecodedForTheScreenThenSharperWhenZoomed();

private:
    // A shown 400x300 view of `file`, its first image loaded.
    std::unique_ptr<ZoomableImageView> shownView(const QString &file);

    QTemporaryDir m_dir;
    const QString m_landscape = m_dir.filePath(u"landscape.png"_s); // 400 x 300
    const QString m_portrait = m_dir.filePath(u"portrait.png"_s);   // 150 x 300
    const QString m_big = m_dir.filePath(u"big.jpg"_s);             // 4000 x 3000
};

void TestZoomableImageView::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(writeImage(quadrantImage(QSize(400, 300)), m_landscape, "png"));
    QVERIFY(writeImage(quadrantImage(QSize(150, 300)), m_portrait, "png"));
    QVERIFY(writeImage(photoLikeImage(QSize(4000, 3000)), m_big, "jpeg", 85));
}

std::unique_ptr<ZoomableImageView> TestZoomableImageView::shownView(const QString &file)
{
    auto view = viewOf(file);
    QSignalSpy loaded(view.get(), &ZoomableImageView::imageLoaded);
    view->show();
    // The decode may finish while the exposure is awaited, so count what has already arrived.
    if (!QTest::qWaitForWindowExposed(view.get()) ||
        !QTest::qWaitFor([&] { return !loaded.isEmpty(); }, 10000))
        return nullptr;
    return view;
}

void TestZoomableImageView::showsFittedImageAfterLoading()
{
    auto view = viewOf(m_portrait);
    QVERIFY(view->isLoading());
    QSignalSpy displayed(view.get(), &ZoomableImageView::imageDisplayed);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    QTRY_VERIFY_WITH_TIMEOUT(!displayed.isEmpty(), 10000);
    QVERIFY(!view->isLoading());
    QVERIFY(!view->isBusyIndicatorShown());

    // The picture is really painted: the 150x300 portrait fills the middle of the view.
    const QImage shot = view->grab().toImage();
    QVERIFY(roughlyEqual(shot.pixelColor(200 - 37, 75), Qt::red));
    QVERIFY(roughlyEqual(shot.pixelColor(200 + 37, 225), Qt::yellow));
}

void TestZoomableImageView::pinch_data()
{
    QTest::addColumn<qreal>("start");
    QTest::addColumn<QPointF>("offset");
    // Magnifications since the pinch began, and the scale expected after each of them.
    QTest::addColumn<QList<qreal>>("magnifications");
    QTest::addColumn<QList<qreal>>("scales");
    QTest::addColumn<bool>("springsBack");
    // Reversing the pinch zooms out at the first step, not after unwinding the excess.
    QTest::newRow("clamped at 5x, then out at once")
        << 1.0 << QPointF() << QList<qreal>{2, 4, 8, 12, 9} << QList<qreal>{2, 4, 5, 5, 3.75}
        << false;
    QTest::newRow("below 1x springs back")
        << 2.0 << QPointF(60, 40) << QList<qreal>{0.8, 0.4, 0.3} << QList<qreal>{1.6, 1, 1} << true;
}

void TestZoomableImageView::pinch()
{
    QFETCH(qreal, start);
    QFETCH(QPointF, offset);
    QFETCH(QList<qreal>, magnifications);
    QFETCH(QList<qreal>, scales);
    QFETCH(bool, springsBack);
    auto view = shownView(m_landscape);
    QVERIFY(view);
    if (start != 1.0) {
        ::pinch(view.get(), {start});
        ::drag(view.get(), {200, 150}, QPointF(200, 150) + offset);
    }

    sendGesture(view.get(), Qt::BeginNativeGesture);
    qreal previous = 1.0;
    for (qsizetype i = 0; i < magnifications.size(); ++i) {
        sendGesture(view.get(), Qt::ZoomNativeGesture, magnifications[i] / previous - 1.0);
        previous = magnifications[i];
        QCOMPARE(view->scale(), scales[i]);
        QCOMPARE(view->offset(), offset); // nothing moves until the pinch ends
    }
    sendGesture(view.get(), Qt::EndNativeGesture);
    QCOMPARE(view->scale(), scales.last());
    const QPointF rest = springsBack ? QPointF() : offset;
    QCOMPARE(view->offset(), rest);
    QCOMPARE(view->isAnimating(), springsBack);
    QTRY_VERIFY(!view->isAnimating());
    QCOMPARE(view->displayedOffset(), rest);
}

void TestZoomableImageView::wheelDragAndDoubleClick()
{
    auto view = shownView(m_landscape);
    QVERIFY(view);
    QVERIFY(!wheel(view.get(), 120, Qt::NoModifier)); // left to the parent, which scrolls
    QCOMPARE(view->scale(), 1.0);
    ::drag(view.get(), {100, 100}, {140, 130});
    QCOMPARE(view->offset(), QPointF()); // at 1x there is nothing to move

    ::doubleClick(view.get());
    QCOMPARE(view->scale(), 2.5);
    QTRY_VERIFY(!view->isAnimating());
    QCOMPARE(view->displayedScale(), 2.5);
    // A pinch after the double click goes on from the new scale.
    ::pinch(view.get(), {1.2});
    QCOMPARE(view->scale(), 3.0);

    ::drag(view.get(), {100, 100}, {140, 130});
    QCOMPARE(view->offset(), QPointF(40, 30));
    // The next drag starts where this one left the picture.
    ::drag(view.get(), {50, 50}, {35, 50});
    QCOMPARE(view->offset(), QPointF(25, 30));

    // Zoomed in and moved, the next double click goes back to the whole picture, centred.
    ::doubleClick(view.get());
    QCOMPARE(view->scale(), 1.0);
    QCOMPARE(view->offset(), QPointF());
    QTRY_VERIFY(!view->isAnimating());
    QCOMPARE(view->displayedScale(), 1.0);
    QCOMPARE(view->displayedOffset(), QPointF());

    // Ctrl and the wheel zoom as a pinch does.
    wheel(view.get(), 120, Qt::ControlModifier);
    wheel(view.get(), 120, Qt::ControlModifier);
    QCOMPARE(view->scale(), 1.2 * 1.2);
}

void TestZoomableImageView::urlChangeWhileZoomed()
{
    auto view = shownView(m_landscape);
    QVERIFY(view);
    ::pinch(view.get(), {3.0});
    ::drag(view.get(), {200, 150}, {220, 170});
    ::doubleClick(view.get()); // leave a spring running as well
    ::pinch(view.get(), {3.0});

    QSignalSpy loaded(view.get(), &ZoomableImageView::imageLoaded);
    view->setUrl(QUrl::fromLocalFile(m_portrait));
    QVERIFY(view->isLoading());
    QVERIFY(view->isBusyIndicatorShown());
    QCOMPARE(view->scale(), 1.0);
    QCOMPARE(view->offset(), QPointF());
    QVERIFY(!view->isAnimating());

    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 10000);
    QCOMPARE(view->fullImageSize(), QSize(150, 300));
    QVERIFY(!view->isBusyIndicatorShown());

    // The same URL again changes nothing.
    ::pinch(view.get(), {2.0});
    view->setUrl(QUrl::fromLocalFile(m_portrait));
    QCOMPARE(view->scale(), 2.0);
    QVERIFY(!view->isLoading());
}

void TestZoomableImageView::staleResultIsDropped()
{
    auto view = viewOf(m_big);
    QSignalSpy loaded(view.get(), &ZoomableImageView::imageLoaded);
    view->show(); // starts the slow decode of the big photo
    view->setUrl(QUrl::fromLocalFile(m_portrait));
    QVERIFY(loaded.wait(10000));
    // Let every decode finish and deliver: the big photo's must not replace the portrait.
    finishDecodes();
    QCoreApplication::processEvents();
    QCOMPARE(view->fullImageSize(), QSize(150, 300));
    QCOMPARE(loaded.count(), 1);
}

void TestZoomableImageView::bigJpegDecodedForTheScreenThenSharperWhenZoomed()
{
    auto view = shownView(m_big);
    QVERIFY(view);
    const qreal ratio = view->devicePixelRatioF();
    QCOMPARE(view->fullImageSize(), QSize(4000, 3000));
    QCOMPARE(view->decodedImageSize(), (QSizeF(400, 300) * ratio).toSize());

    // Zoom that the screen decode can serve loads nothing more.
    QSignalSpy loaded(view.get(), &ZoomableImageView::imageLoaded);
    ::pinch(view.get(), {1.04});
    QCoreApplication::processEvents();
    finishDecodes();
    QCOMPARE(loaded.count(), 0);

    ::pinch(view.get(), {3.0});
    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 10000);
    QCOMPARE(view->decodedImageSize(), (QSizeF(2000, 1500) * ratio).toSize());
    QCOMPARE(view->scale(), 3.12);
}

QTEST_MAIN(TestZoomableImageView)
#include "tst_ZoomableImageView.moc"
