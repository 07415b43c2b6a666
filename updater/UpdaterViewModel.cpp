// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdaterViewModel.h"

#include "UpdaterDialogs.h"
#include "UpdaterUi.h"

UpdaterViewModel::UpdaterViewModel(QObject *parent)
    : UpdaterViewModel(UpdaterSettings::fromBuild(), std::make_unique<UpdaterDialogs>(), parent)
{}

UpdaterViewModel::UpdaterViewModel(UpdaterSettings settings, std::unique_ptr<UpdaterUi> ui,
                                   QObject *parent)
    : QObject(parent)
    , m_updaterController(std::make_unique<UpdaterController>(std::move(settings), std::move(ui)))
{}

UpdaterViewModel::~UpdaterViewModel() = default;

void UpdaterViewModel::checkForUpdates()
{
    m_updaterController->checkForUpdates();
}
