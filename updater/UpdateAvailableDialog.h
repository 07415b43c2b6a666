// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

struct AppcastItem;

// Offers a newer version: its number, its release notes and a Download button.
class UpdateAvailableDialog final : public QDialog
{
    Q_OBJECT

public:
    UpdateAvailableDialog(const AppcastItem &item, const QString &runningVersion,
                          QWidget *parent = nullptr);

signals:
    void downloadRequested();
};
