// SPDX-License-Identifier: GPL-3.0-or-later
// Loads the thumbnails of the files given on the command line the way the file list
// does (one request per file, all at once on the preview threads, 60 points at scale 1, so
// the standard's 128-pixel size), twice, and prints the milliseconds each pass took:
//   mirel-thumbs-bench FILE...   ->   "ms <first pass>" and "again-ms <second pass>"
// With an empty cache the first pass is generation plus storing, and the second is the
// cache as a running Mirel finds it when the rows come back.
#include "PreviewThreads.h"
#include "ThumbnailSource.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QtConcurrent>

#include <cstdio>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList files = app.arguments().mid(1);
    if (files.isEmpty()) {
        std::fprintf(stderr, "usage: mirel-thumbs-bench FILE...\n");
        return 2;
    }
    const auto source = ThumbnailSource::systemDefault();

    const auto pass = [&source, &files](double *milliseconds) {
        QElapsedTimer timer;
        timer.start();
        const QList<QImage> thumbnails = QtConcurrent::blockingMapped(
            &previewThreadPool(), files, [&source](const QString &path) {
                return source->thumbnail({path, {60, 60}, 1.0, {}});
            });
        *milliseconds = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        // A pass that made no thumbnails would time nothing.
        for (qsizetype i = 0; i < thumbnails.size(); ++i) {
            if (thumbnails[i].isNull()) {
                std::fprintf(stderr, "no thumbnail for %s\n", qPrintable(files[i]));
                return false;
            }
        }
        return true;
    };
    double first = 0;
    double second = 0;
    if (!pass(&first) || !pass(&second))
        return 1;
    std::printf("ms %.1f\nagain-ms %.1f\n", first, second);
    return 0;
}
