// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileActions.h"

#include "DesktopApplications.h"
#include "FileNames.h"
#include "PathCodec.h"
#include "RunInBackground.h"

#include <QApplication>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QMenu>
#include <QMimeData>
#include <QMimeDatabase>

using namespace Qt::StringLiterals;

namespace {

constexpr int fileManagerTimeoutMs = 5000;

QString translated(const char *text)
{
    return QCoreApplication::translate("FileActions", text);
}

} // namespace

QUrl FileActions::fileUrl(const QString &path)
{
    // QUrl keeps escapes that do not decode as UTF-8 as they are, so the bytes survive.
    return QUrl::fromEncoded(QByteArray("file://" + PathCodec::encode(path).toPercentEncoding("/")),
                             QUrl::StrictMode);
}

void FileActions::open(const QString &path, QObject *context, OpenFailed failed)
{
    if (!context || !failed) {
        QDesktopServices::openUrl(fileUrl(path));
        return;
    }
    // By name only: the file itself is not read for this. The desktop's lists are files that
    // may sit on a slow home folder, so they are read off the GUI thread.
    const QMimeType type =
        QMimeDatabase().mimeTypeForFile(FileNames::fileName(path), QMimeDatabase::MatchExtension);
    auto check = [type] {
        return DesktopApplications::canOpen(type);
    };
    auto openOrSay = [path, type, failed](bool canOpen) {
        if (canOpen && QDesktopServices::openUrl(fileUrl(path)))
            return;
        const QString kind = type.comment().isEmpty() ? type.name() : type.comment();
        failed(
            translated(QT_TRANSLATE_NOOP("FileActions", "No application can open %1")).arg(kind));
    };
    runInBackground(context, std::move(check), std::move(openOrSay));
}

void FileActions::showInFolder(const QString &path)
{
    const QUrl folder = fileUrl(FileNames::parentPath(path));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(folder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        u"org.freedesktop.FileManager1"_s, u"/org/freedesktop/FileManager1"_s,
        u"org.freedesktop.FileManager1"_s, u"ShowItems"_s);
    call << QStringList{QString::fromLatin1(fileUrl(path).toEncoded())} << QString();
    // Asynchronous, so a file manager that is slow to start never stalls the panel.
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, fileManagerTimeoutMs), qApp);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [folder](QDBusPendingCallWatcher *finished) {
                         if (finished->isError())
                             QDesktopServices::openUrl(folder);
                         finished->deleteLater();
                     });
}

void FileActions::copyPath(const QString &path)
{
    auto *data = new QMimeData;
    data->setText(PathCodec::displayString(path));
    // The exact bytes, for programs that take a file URL.
    data->setUrls({fileUrl(path)});
    QApplication::clipboard()->setMimeData(data);
}

QMenu *FileActions::popUpMenu(const QString &path, const QPoint &globalPosition, QWidget *parent,
                              OpenFailed openFailed)
{
    auto *menu = new QMenu(parent);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(translated(QT_TRANSLATE_NOOP("FileActions", "Open")), menu,
                    [path, parent, openFailed] { open(path, parent, openFailed); });
    menu->addAction(translated(QT_TRANSLATE_NOOP("FileActions", "Show in Folder")), menu,
                    [path] { showInFolder(path); });
    menu->addAction(translated(QT_TRANSLATE_NOOP("FileActions", "Copy Path")), menu,
                    [path] { copyPath(path); });
    menu->popup(globalPosition);
    return menu;
}
