// SPDX-License-Identifier: GPL-3.0-or-later
#include "PreviewThreads.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>

using namespace Qt::StringLiterals;

QThreadPool &previewThreadPool()
{
    static QThreadPool *const pool = [] {
        auto *threads = new QThreadPool;
        // More than the cores: a thread or two caught in an unresponsive mount must leave room
        // for the files that do answer.
        threads->setMaxThreadCount(std::max(4, QThread::idealThreadCount()));
        threads->setObjectName(u"Mirel previews"_s);
        return threads;
    }();
    return *pool;
}
