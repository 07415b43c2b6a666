// SPDX-License-Identifier: GPL-3.0-or-later
// Times ZoomableImageView from show() to the first paint of a 4000 x 3000 JPEG, as the review
// panel shows a photo: a fresh view per round, the file already in the page cache after round 1.
#include "ZoomableImageView.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

bool writePhoto(const QString &path)
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb((x * 255) / 4000, (y * 255) / 3000, ((x * 7) ^ (y * 13)) & 0xff);
    }
    QImageWriter writer(path, "jpeg");
    writer.setQuality(90);
    return writer.write(image);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({u"rounds"_s, u"Number of timed rounds."_s, u"n"_s, u"11"_s});
    parser.addOption(
        {u"image"_s, u"JPEG to open (default: a generated 4000x3000 one)."_s, u"path"_s});
    parser.process(app);
    QTextStream out(stdout);

    QTemporaryDir dir;
    QString path = parser.value(u"image"_s);
    if (path.isEmpty()) {
        path = dir.filePath(u"photo-4000x3000.jpg"_s);
        if (!writePhoto(path)) {
            out << "cannot write " << path << Qt::endl;
            return 1;
        }
    }

    const int rounds = std::max(1, parser.value(u"rounds"_s).toInt());
    QList<double> times;
    for (int round = 0; round < rounds; ++round) {
        ZoomableImageView view(QUrl::fromLocalFile(path));
        view.resize(304, 228); // the review panel's preview area
        QEventLoop loop;
        bool shown = false;
        QObject::connect(&view, &ZoomableImageView::imageDisplayed, &loop, [&] {
            shown = true;
            loop.quit();
        });
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        QElapsedTimer clock;
        clock.start();
        view.show();
        loop.exec();
        const double ms = clock.nsecsElapsed() / 1e6;
        if (!shown) {
            out << "round " << round + 1 << ": image not shown within 10 s" << Qt::endl;
            return 1;
        }
        out << "round " << round + 1 << ": " << QString::number(ms, 'f', 1) << " ms (decoded "
            << view.decodedImageSize().width() << "x" << view.decodedImageSize().height() << ")"
            << Qt::endl;
        times.append(ms);
    }
    std::sort(times.begin(), times.end());
    const double median = times.size() % 2
                              ? times[times.size() / 2]
                              : (times[times.size() / 2 - 1] + times[times.size() / 2]) / 2;
    out << "image-open-ms " << QString::number(median, 'f', 1) << Qt::endl;
    return 0;
}
