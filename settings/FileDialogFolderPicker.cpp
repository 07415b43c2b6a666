// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileDialogFolderPicker.h"

#include <QDir>
#include <QFileDialog>

QList<QUrl> FileDialogFolderPicker::pickFolders(QWidget *parent)
{
    const QString path = QFileDialog::getExistingDirectory(
        parent, tr("Add Folder"), QDir::homePath(), QFileDialog::ShowDirsOnly);
    if (path.isEmpty())
        return {};
    return {QUrl::fromLocalFile(path)};
}
