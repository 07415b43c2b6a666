// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FolderPicker.h"

#include <QCoreApplication>

// The desktop's own folder chooser: the portal's picker where one runs, Qt's dialog otherwise.
class FileDialogFolderPicker final : public FolderPicker
{
    Q_DECLARE_TR_FUNCTIONS(FileDialogFolderPicker)

public:
    QList<QUrl> pickFolders(QWidget *parent) override;
};
