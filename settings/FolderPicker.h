// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QUrl>

class QWidget;

// Asks the user for a folder. Behind an interface so tests can answer in the user's place.
class FolderPicker
{
public:
    virtual ~FolderPicker() = default;

    // The folders chosen, as file URLs; empty when the user cancelled or the picker failed.
    virtual QList<QUrl> pickFolders(QWidget *parent) = 0;
};
