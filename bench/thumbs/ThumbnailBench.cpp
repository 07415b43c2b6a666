// Loads the thumbnails of the files given on the command line the way the file list
// does (one request per file, all at once on the thread pool, 60 points at scale 1, so
// the standard's 128-pixel size) and prints the milliseconds it took:
//   mirel-thumbs-bench FILE...   ->   "ms <elapsed>"
// With an empty cache this is generation plus storing; run again, it is the cache.
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

    QElapsedTimer timer;
    timer.start();
    const QList<QImage> thumbnails =
        QtConcurrent::blockingMapped(files, [&source](const QString &path) {
            return source->thumbnail({path, {60, 60}, 1.0});
        });
    const double elapsed = static_cast<double>(timer.nsecsElapsed()) / 1e6;

    // A run that made no thumbnails would time nothing.
    for (qsizetype i = 0; i < thumbnails.size(); ++i) {
        if (thumbnails[i].isNull()) {
            std::fprintf(stderr, "no thumbnail for %s\n", qPrintable(files[i]));
            return 1;
        }
    }
    std::printf("ms %.1f\n", elapsed);
    return 0;
}
