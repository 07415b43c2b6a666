// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "UpdaterController.h"

#include <QObject>

#include <memory>

class UpdaterUi;

// The one updater of a Mirel run, shared by every window that offers an update check.
class UpdaterViewModel final : public QObject
{
    Q_OBJECT

public:
    // The feed, key and version compiled into this build, with the real dialogs.
    explicit UpdaterViewModel(QObject *parent = nullptr);
    UpdaterViewModel(UpdaterSettings settings, std::unique_ptr<UpdaterUi> ui,
                     QObject *parent = nullptr);
    ~UpdaterViewModel() override;

    // Every press of "Check for Updates..." comes here and goes on to the controller.
    void checkForUpdates();

private:
    // Created with the view model and never replaced.
    const std::unique_ptr<UpdaterController> m_updaterController;
};
