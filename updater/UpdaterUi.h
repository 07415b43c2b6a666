// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppcastItem.h"
#include "UpdateProblem.h"

#include <QObject>
#include <QString>

// Everything the updater shows, one dialog at a time; each call replaces the dialog shown
// before. Tests put a recording double in place of the real dialogs.
class UpdaterUi : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void showChecking() = 0;
    // This build has no feed: a packaged Mirel is updated by the system's package manager, one
    // built from source by building the new source.
    virtual void showPackageManaged() = 0;
    virtual void showUpToDate(const QString &runningVersion) = 0;
    virtual void showUpdate(const AppcastItem &item, const QString &runningVersion) = 0;
    virtual void showDownloading(qint64 received, qint64 total) = 0;
    // A verified download; shows where it was saved.
    virtual void showDownloaded(const QString &filePath) = 0;
    virtual void showError(UpdateProblem::Kind problem) = 0;
    // Brings the dialog shown now to the front.
    virtual void raiseCurrent() = 0;

signals:
    void downloadRequested();
    // The user closed the current dialog, by Cancel or otherwise.
    void closed();
};
