// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "UpdaterUi.h"

#include <QMetaEnum>
#include <QStringList>

using namespace Qt::StringLiterals;

// Stands in for the updater's dialogs: writes down what would be shown, one line per dialog,
// and plays the user's Download and close buttons.
class RecordingUpdaterUi final : public UpdaterUi
{
    Q_OBJECT

public:
    using UpdaterUi::UpdaterUi;

    QStringList events;
    AppcastItem offered;
    qint64 received = 0; // the download's progress

    void showChecking() override { events.append(u"checking"_s); }
    void showPackageManaged() override { events.append(u"package manager"_s); }
    void showUpToDate(const QString &runningVersion) override
    {
        events.append(u"up to date "_s + runningVersion);
    }
    void showUpdate(const AppcastItem &item, const QString &) override
    {
        offered = item;
        events.append(u"update "_s + item.displayVersion());
    }
    void showDownloading(qint64 bytes, qint64) override
    {
        received = bytes;
        // Progress updates the one download dialog; only its first showing is an event.
        if (events.value(events.size() - 1) != u"downloading"_s)
            events.append(u"downloading"_s);
    }
    void showDownloaded(const QString &filePath) override
    {
        events.append(u"downloaded "_s + filePath);
    }
    void showError(UpdateProblem::Kind problem) override
    {
        events.append(u"error "_s +
                      QString::fromLatin1(QMetaEnum::fromType<UpdateProblem::Kind>().valueToKey(
                          static_cast<int>(problem))));
    }
    void raiseCurrent() override { events.append(u"raise"_s); }

    void pressDownload() { emit downloadRequested(); }
    void closeDialog() { emit closed(); }
};
