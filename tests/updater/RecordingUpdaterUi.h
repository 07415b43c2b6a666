#pragma once

#include "UpdaterUi.h"

#include <QMetaEnum>
#include <QStringList>

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

    void showChecking() override { events.append(QStringLiteral("checking")); }
    void showPackageManaged() override { events.append(QStringLiteral("package manager")); }
    void showUpToDate(const QString &runningVersion) override
    {
        events.append(QStringLiteral("up to date ") + runningVersion);
    }
    void showUpdate(const AppcastItem &item, const QString &) override
    {
        offered = item;
        events.append(QStringLiteral("update ") + item.displayVersion());
    }
    void showDownloading(qint64 bytes, qint64) override
    {
        received = bytes;
        // Progress updates the one download dialog; only its first showing is an event.
        if (events.value(events.size() - 1) != QStringLiteral("downloading"))
            events.append(QStringLiteral("downloading"));
    }
    void showDownloaded(const QString &filePath) override
    {
        events.append(QStringLiteral("downloaded ") + filePath);
    }
    void showError(UpdateProblem::Kind problem) override
    {
        events.append(QStringLiteral("error ") +
                      QString::fromLatin1(QMetaEnum::fromType<UpdateProblem::Kind>().valueToKey(
                          static_cast<int>(problem))));
    }
    void raiseCurrent() override { events.append(QStringLiteral("raise")); }

    void pressDownload() { emit downloadRequested(); }
    void closeDialog() { emit closed(); }
};
