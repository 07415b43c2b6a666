#include "AppDelegate.h"

#include <QCoreApplication>

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent)
{
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &AppDelegate::applicationWillTerminate);
}

void AppDelegate::applicationWillTerminate() {}
