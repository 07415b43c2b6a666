#include "FilePreviewView.h"
#include "ImageTestSupport.h"
#include "SmartPreviewView.h"
#include "ZoomableImageView.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

using namespace Qt::StringLiterals;

class TestSmartPreviewView final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useTemporaryHome(); }

private slots:
    void initTestCase();
    void cleanup();
    void picksOneView_data();
    void picksOneView();
    void sameKindKeepsTheView();
    void changeOfKindReplacesTheView();
    void addsNoMargins();

private:
    QUrl file(const QString &name) const { return QUrl::fromLocalFile(m_dir.filePath(name)); }
    QTemporaryDir m_dir;
};

void TestSmartPreviewView::initTestCase()
{
    QVERIFY(writeImage(quadrantImage(QSize(80, 60)), m_dir.filePath(u"one.png"_s), "png"));
    QVERIFY(writeImage(quadrantImage(QSize(60, 80)), m_dir.filePath(u"two.JPG"_s), "jpeg"));
    QFile text(m_dir.filePath(u"notes.txt"_s));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("Some notes\n");
}

void TestSmartPreviewView::cleanup()
{
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents();
}

void TestSmartPreviewView::picksOneView_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("zoomable");
    QTest::newRow("png") << u"one.png"_s << true;
    QTest::newRow("upper-case JPG") << u"two.JPG"_s << true;
    QTest::newRow("HEIC that does not exist") << u"scan.HEIC"_s << true;
    QTest::newRow("bmp") << u"icon.bmp"_s << true;
    QTest::newRow("text") << u"notes.txt"_s << false;
    QTest::newRow("tif is not zoomable") << u"scan.tif"_s << false;
    QTest::newRow("svg") << u"drawing.svg"_s << false;
    QTest::newRow("pdf") << u"report.pdf"_s << false;
    QTest::newRow("no extension") << u"README"_s << false;
}

void TestSmartPreviewView::picksOneView()
{
    QFETCH(QString, name);
    QFETCH(bool, zoomable);
    SmartPreviewView view(file(name));
    QCOMPARE(view.imageView() != nullptr, zoomable);
    QCOMPARE(view.filePreview() != nullptr, !zoomable);
    QWidget *content = zoomable ? static_cast<QWidget *>(view.imageView())
                                : static_cast<QWidget *>(view.filePreview());
    QCOMPARE(view.findChildren<ZoomableImageView *>().size(), zoomable ? 1 : 0);
    QCOMPARE(view.findChildren<FilePreviewView *>().size(), zoomable ? 0 : 1);
    QCOMPARE(content->parentWidget(), &view);
}

void TestSmartPreviewView::sameKindKeepsTheView()
{
    SmartPreviewView view(file(u"one.png"_s));
    view.resize(300, 200);
    view.show();
    QPointer<ZoomableImageView> image = view.imageView();
    QSignalSpy loaded(image.data(), &ZoomableImageView::imageLoaded);
    QVERIFY(loaded.wait(10000));

    view.setUrl(file(u"two.JPG"_s));
    QCOMPARE(view.imageView(), image.data());
    QCOMPARE(image->url(), file(u"two.JPG"_s));
    QVERIFY(loaded.wait(10000));
    QCOMPARE(image->fullImageSize(), QSize(60, 80));

    SmartPreviewView other(file(u"notes.txt"_s));
    QPointer<FilePreviewView> preview = other.filePreview();
    other.setUrl(file(u"report.pdf"_s));
    QCOMPARE(other.filePreview(), preview.data());
    QCOMPARE(preview->url(), file(u"report.pdf"_s));
}

void TestSmartPreviewView::changeOfKindReplacesTheView()
{
    SmartPreviewView view(file(u"one.png"_s));
    QPointer<ZoomableImageView> image = view.imageView();
    view.setUrl(file(u"notes.txt"_s));
    QVERIFY(image.isNull()); // gone at once, not later
    QVERIFY(view.filePreview());
    QCOMPARE(view.filePreview()->url(), file(u"notes.txt"_s));
    QCOMPARE(view.url(), file(u"notes.txt"_s));

    QPointer<FilePreviewView> preview = view.filePreview();
    view.setUrl(file(u"two.JPG"_s));
    QVERIFY(preview.isNull());
    QVERIFY(view.imageView());
    QCOMPARE(view.imageView()->url(), file(u"two.JPG"_s));
    QCOMPARE(view.findChildren<QWidget *>(Qt::FindDirectChildrenOnly).size(), 1);
}

void TestSmartPreviewView::addsNoMargins()
{
    SmartPreviewView view(file(u"one.png"_s));
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.imageView()->geometry(), QRect(0, 0, 300, 200));
}

QTEST_MAIN(TestSmartPreviewView)
#include "tst_SmartPreviewView.moc"
