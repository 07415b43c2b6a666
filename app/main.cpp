// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"
#include "Console.h"
#include "MirelApp.h"
#include "MirelVersion.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QIcon>
#include <QLocale>

#include <cstdio>
#include <cstdlib>

#include <malloc.h>

using namespace Qt::StringLiterals;

namespace {

QtMessageHandler qtMessageHandler = nullptr;

// Qt ends the process with a core dump when no window system answers (a DISPLAY that names
// no running server): one plain line and a failure status say it better.
void endWithoutWindow(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg) {
        qtMessageHandler(type, context, message);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(CommandLine::noWindowLine(message)));
    std::_Exit(EXIT_FAILURE);
}

} // namespace

int main(int argc, char **argv)
{
    // Previews decode on several threads, and glibc would give each its own arena that keeps
    // what a replaced preview freed; two arenas keep a long review's memory level.
    mallopt(M_ARENA_MAX, 2);
    if (const std::optional<int> status = CommandLine::answer(argc, argv))
        return *status;
    if (!CommandLine::hasGraphicalSession(CommandLine::platformArgument(argc, argv))) {
        std::fprintf(stderr, "%s\n", qPrintable(CommandLine::noDisplayLine()));
        return EXIT_FAILURE;
    }

    if (CommandLine::prefersXcb(CommandLine::platformArgument(argc, argv)))
        qputenv("QT_QPA_PLATFORM", "xcb");

    qtMessageHandler = qInstallMessageHandler(endWithoutWindow);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtMessageHandler);

    QApplication::setApplicationName(u"Mirel"_s);
    QApplication::setOrganizationName(u"Mirel"_s);
    QApplication::setApplicationVersion(QString::fromUtf8(MIREL_VERSION));
    QGuiApplication::setDesktopFileName(u"io.mirel.Mirel"_s);
    QApplication::setWindowIcon(QIcon(u":/app/io.mirel.Mirel.svg"_s));
    // Mirel lives in the tray: closing the settings window or a dialog must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    MirelApp::installTranslations(QLocale(), &app);

    QString instanceProblem;
    SingleInstance instance(SingleInstance::defaultName(&instanceProblem));
    if (!instanceProblem.isEmpty())
        Console::writeLine(u"Running without the single-instance check: "_s + instanceProblem);
    if (!instance.becomePrimary())
        return 0;

    MirelApp mirel(CommandLine::startsAtLogin(argc, argv) ? MirelApp::Start::AtLogin
                                                          : MirelApp::Start::Normal);
    QObject::connect(&instance, &SingleInstance::openRequested, &mirel, &MirelApp::showPanel);
    return app.exec();
}
