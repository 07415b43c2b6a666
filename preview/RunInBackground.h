// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreviewThreads.h"

#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>
#include <QtConcurrent/qtconcurrenttask.h>

#include <type_traits>
#include <utility>

// Runs `work` once on the preview threads (previewThreadPool()) and hands its result to `deliver`
// on the thread of `receiver` (normally the main thread) through its event loop. Call it from
// `receiver`'s thread. Nothing is cancelled: when `receiver` is destroyed first, the work still
// runs to its end and the result is dropped, so `deliver` never touches a destroyed object. A
// higher `priority` is started first when the pool is busy (image decoding for the visible preview
// goes before row thumbnails).
template<typename Work, typename Deliver>
void runInBackground(QObject *receiver, Work &&work, Deliver &&deliver, int priority = 0)
{
    using Result = std::invoke_result_t<std::decay_t<Work>>;
    auto *watcher = new QFutureWatcher<Result>(receiver);
    QObject::connect(watcher, &QFutureWatcherBase::finished, receiver,
                     [watcher, deliver = std::forward<Deliver>(deliver)]() mutable {
                         watcher->deleteLater();
                         if constexpr (std::is_void_v<Result>)
                             deliver();
                         else
                             deliver(watcher->result());
                     });
    watcher->setFuture(QtConcurrent::task(std::forward<Work>(work))
                           .onThreadPool(previewThreadPool())
                           .withPriority(priority)
                           .spawn());
}
