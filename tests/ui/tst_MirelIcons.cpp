// SPDX-License-Identifier: GPL-3.0-or-later
#include "MirelIcons.h"
#include "TestHome.h"

#include <QApplication>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Coverage
{
    int opaque = 0;  // pixels at least 90 % covered
    int touched = 0; // pixels with any coverage
    bool oneColour = true;
};

Coverage coverageOf(const QImage &image, const QColor &colour)
{
    Coverage coverage;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QColor pixel = argb.pixelColor(x, y);
            if (pixel.alpha() == 0)
                continue;
            ++coverage.touched;
            if (pixel.alpha() >= 230)
                ++coverage.opaque;
            if (pixel.alpha() >= 64 && !roughlyEqual(pixel, colour, 3))
                coverage.oneColour = false;
        }
    }
    return coverage;
}

} // namespace

class TestMirelIcons final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void everySymbolRenders_data();
    void everySymbolRenders();
    void iconFollowsThePalette();
};

void TestMirelIcons::everySymbolRenders_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<QColor>("colour");
    const QStringList names = QStringList(MirelIcons::symbolNames()) << u"MenuBarIcon"_s;
    for (const QString &name : names) {
        for (int size : {16, 64}) {
            for (const QColor &colour : {QColor(20, 20, 20), QColor(240, 240, 240)})
                QTest::addRow("%s %d px %s", qPrintable(name), size, qPrintable(colour.name()))
                    << name << size << colour;
        }
    }
}

void TestMirelIcons::everySymbolRenders()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(QColor, colour);
    // A missing resource draws nothing, which the coverage below catches.
    const QPixmap pixmap = MirelIcons::pixmap(name, size, colour);
    QCOMPARE(pixmap.size(), QSize(size, size));
    const Coverage coverage = coverageOf(pixmap.toImage(), colour);
    // A real shape, drawn in exactly the asked colour, with solid parts (crisp, not a blur) and
    // not a filled square.
    QVERIFY(coverage.oneColour);
    QVERIFY2(coverage.opaque >= size * size / 20, qPrintable(QString::number(coverage.opaque)));
    QVERIFY(coverage.touched < size * size * 95 / 100);
}

void TestMirelIcons::iconFollowsThePalette()
{
    const QPalette original = QApplication::palette();
    auto restore = qScopeGuard([&] { QApplication::setPalette(original); });

    QPalette palette = original;
    palette.setColor(QPalette::Active, QPalette::WindowText, QColor(200, 30, 30));
    QApplication::setPalette(palette);
    const QIcon icon = MirelIcons::icon(u"gear"_s);
    QVERIFY(coverageOf(icon.pixmap(32).toImage(), QColor(200, 30, 30)).oneColour);

    // A theme switch (dark to light) is picked up by the same icon object.
    palette.setColor(QPalette::Active, QPalette::WindowText, QColor(240, 240, 240));
    QApplication::setPalette(palette);
    QVERIFY(coverageOf(icon.pixmap(32).toImage(), QColor(240, 240, 240)).oneColour);
}

QTEST_MAIN(TestMirelIcons)
#include "tst_MirelIcons.moc"
