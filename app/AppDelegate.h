// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

// Told when Mirel is about to quit. It does nothing on purpose: settings are written the
// moment they change and no file is moved at exit, so quitting can never lose anything.
class AppDelegate final : public QObject
{
    Q_OBJECT

public:
    explicit AppDelegate(QObject *parent = nullptr);

    void applicationWillTerminate();
};
