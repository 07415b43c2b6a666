// SPDX-License-Identifier: GPL-3.0-or-later
#include "PdfPreview.h"
#include "PreviewFile.h"
#include "TestHome.h"

#include <QPdfWriter>
#include <QScrollBar>

using namespace Qt::StringLiterals;

namespace {

// Each page a colour of its own, from its number, so a picture tells which page it shows.
QColor pageColour(int page)
{
    return QColor::fromHsv((page * 37) % 360, 200, 200);
}

void writePdf(const QString &path, int pages)
{
    QPdfWriter writer(path);
    QPainter painter(&writer);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.fillRect(QRect(0, 0, writer.width(), writer.height()), pageColour(page));
    }
}

bool showsPage(const QImage &image, int page)
{
    return !image.isNull() && roughlyEqual(image.pixelColor(image.width() / 2, image.height() / 2),
                                           pageColour(page), 30);
}

} // namespace

class TestPdfPreview final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pagesAreRenderedAsTheyComeIntoView();
    void zoomRendersSharperAndKeepsThePlace();

private:
    QTemporaryDir m_dir;
    QString m_long;
};

void TestPdfPreview::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_long = m_dir.filePath(u"long.pdf"_s);
    writePdf(m_long, 60);
}

// Only what is on screen is rendered, at its size on screen; the end of the document is rendered
// once it is scrolled to, and every page shows its own content, one below the other. Pages come
// from the file that was opened: a name moved away and filled with something else does not matter.
void TestPdfPreview::pagesAreRenderedAsTheyComeIntoView()
{
    const QString path = m_dir.filePath(u"opened.pdf"_s);
    QVERIFY(QFile::copy(m_long, path));
    PdfPreview preview(PreviewFile::open(path));
    QVERIFY(QFile::rename(path, m_dir.filePath(u"moved.pdf"_s)));
    writeBytes(path, "not a PDF");
    preview.resize(300, 400);
    preview.show();
    QTRY_VERIFY(preview.isLoaded());
    QCOMPARE(preview.pageCount(), 60);
    QTRY_VERIFY_WITH_TIMEOUT(showsPage(preview.renderedPage(0), 0), 15000);
    // Once the layout has settled (a scroll bar may come and take some width).
    const auto renderedOnScreenSize = [&preview] {
        const QSize onScreen = (preview.pageRect(0).size() * preview.devicePixelRatioF()).toSize();
        const QImage held = preview.renderedPage(0);
        return qAbs(held.width() - onScreen.width()) <= 1 &&
               qAbs(held.height() - onScreen.height()) <= 1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(renderedOnScreenSize(), 15000);
    // Continuous pages, top to bottom.
    QVERIFY(preview.pageRect(1).top() > preview.pageRect(0).bottom());
    QVERIFY(preview.pageRect(59).top() > preview.pageRect(58).bottom());
    // Two pages at most fit in the view: nothing far below has been asked for.
    QVERIFY2(preview.renderedPageCount() <= 2,
             qPrintable(u"%1 pages rendered"_s.arg(preview.renderedPageCount())));
    QVERIFY(preview.renderedPage(30).isNull());

    auto *bar = preview.verticalScrollBar();
    bar->setValue(bar->maximum());
    QTRY_VERIFY_WITH_TIMEOUT(showsPage(preview.renderedPage(59), 59), 15000);
    QVERIFY(preview.renderedPage(30).isNull());
}

void TestPdfPreview::zoomRendersSharperAndKeepsThePlace()
{
    PdfPreview preview(PreviewFile::open(m_long));
    preview.resize(300, 400);
    preview.show();
    QTRY_VERIFY(preview.isLoaded());
    QTRY_VERIFY_WITH_TIMEOUT(showsPage(preview.renderedPage(0), 0), 15000);
    auto *bar = preview.verticalScrollBar();
    bar->setValue(int(preview.pageRect(10).top()));
    QTRY_VERIFY_WITH_TIMEOUT(showsPage(preview.renderedPage(10), 10), 15000);
    const int widthAtRest = preview.renderedPage(10).width();

    preview.setZoom(2.0);
    QCOMPARE(preview.zoom(), 2.0);
    // The page that was in the middle of the view is still there.
    const double middle = bar->value() + preview.viewport()->height() / 2.0;
    QVERIFY(preview.pageRect(10).top() <= middle + preview.pageRect(10).height());
    QVERIFY(preview.pageRect(10).bottom() >= bar->value());
    QTRY_VERIFY_WITH_TIMEOUT(preview.renderedPage(10).width() >= 2 * widthAtRest - 2, 15000);
    QVERIFY(showsPage(preview.renderedPage(10), 10));

    // The zoom is held between its limits.
    preview.setZoom(50);
    QCOMPARE(preview.zoom(), PdfPreview::maximumZoom);
    preview.setZoom(0.1);
    QCOMPARE(preview.zoom(), PdfPreview::minimumZoom);
}

QTEST_MAIN(TestPdfPreview)
#include "tst_PdfPreview.moc"
