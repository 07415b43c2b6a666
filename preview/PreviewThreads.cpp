// SPDX-License-Identifier: GPL-3.0-or-later
#include "PreviewThreads.h"

#include "PreviewWorker.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>

#include <algorithm>
#include <climits>

using namespace Qt::StringLiterals;

namespace {

// Long enough for a thumbnail being drawn to finish, short enough that a read hanging on a
// stalled mount does not keep a quit waiting.
constexpr int quitWaitMs = 5000;

} // namespace

QThreadPool &previewThreadPool()
{
    static QThreadPool *const pool = [] {
        auto *threads = new QThreadPool;
        // More than the cores: a thread or two caught in an unresponsive mount must leave room
        // for the files that do answer.
        threads->setMaxThreadCount(std::max(4, QThread::idealThreadCount()));
        threads->setObjectName(u"Mirel previews"_s);
        // Called from the application object's destructor, which ends main() before exit()
        // destroys the globals of Qt and the decoding libraries the jobs run in.
        qAddPostRoutine([] {
            // Work waiting on the preview process gives up at once, its workers killed.
            PreviewWorker::stopAll();
            finishPreviewThreads(QDeadlineTimer(quitWaitMs));
        });
        return threads;
    }();
    return *pool;
}

bool finishPreviewThreads(QDeadlineTimer deadline)
{
    QThreadPool &pool = previewThreadPool();
    pool.clear();
    return pool.waitForDone(int(std::min<qint64>(deadline.remainingTime(), INT_MAX)));
}
