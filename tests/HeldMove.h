// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileSystem.h"

#include <QSemaphore>
#include <QThread>

#include <atomic>

// The move of a Keep reports a quarter done, notes the thread it runs on, and waits until the
// test lets it go; with `untilCancelled` it waits until the copy is told to stop instead. Once
// let go it fails with `failure`, if set, else moves the file.
class HeldMove final : public FileSystem
{
public:
    FileResult moveWithoutReplacing(const QString &from, const QString &to,
                                    const FileIdentity &expected,
                                    const CopyControl *control) const override
    {
        using namespace Qt::StringLiterals;
        thread = QThread::currentThread();
        if (control && control->progress)
            control->progress(1, 4);
        entered.release();
        if (untilCancelled) {
            for (int i = 0; i < 1000 && !(control && control->isCancelled()); ++i)
                QThread::msleep(10);
            if (control && control->isCancelled())
                return FileResult::failure(ECANCELED, u"cancelled"_s);
        } else if (!released.tryAcquire(1, 20000)) {
            return FileResult::failure(ETIMEDOUT, u"never released"_s);
        }
        if (failure != 0)
            return FileResult::failure(failure, u"the drive is full"_s);
        return FileSystem::moveWithoutReplacing(from, to, expected, control);
    }

    bool untilCancelled = false;
    int failure = 0;
    mutable std::atomic<QThread *> thread = nullptr;
    mutable QSemaphore entered;
    mutable QSemaphore released;
};
