// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppDelegate.h"

#include <QCoreApplication>

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
{
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &AppDelegate::applicationWillTerminate);
}

void AppDelegate::applicationWillTerminate() {}
