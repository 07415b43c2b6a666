#include "PreviewThreads.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>

QThreadPool &previewThreadPool()
{
    static QThreadPool *const pool = [] {
        auto *threads = new QThreadPool;
        // More than the cores: a thread or two caught in an unresponsive mount must leave room
        // for the files that do answer.
        threads->setMaxThreadCount(std::max(4, QThread::idealThreadCount()));
        threads->setObjectName(QStringLiteral("Mirel previews"));
        return threads;
    }();
    return *pool;
}
