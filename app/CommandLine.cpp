// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"

#include "MirelApp.h"
#include "MirelVersion.h"

#include <QCommandLineParser>
#include <QLocale>
#include <QStringList>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void print(FILE *stream, const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Qt's own options, read later by QApplication: they must not count as mistakes here.
void acceptQtOptions(QCommandLineParser &parser)
{
    const QStringList withValue = {
        u"platform"_s,        u"platformpluginpath"_s, u"platformtheme"_s, u"plugin"_s,
        u"qwindowgeometry"_s, u"qwindowicon"_s,        u"qwindowtitle"_s,  u"session"_s,
        u"display"_s,         u"geometry"_s,           u"style"_s,         u"stylesheet"_s};
    for (const QString &name : withValue) {
        QCommandLineOption option(name, QString(), u"value"_s);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const QString &name : {u"reverse"_s, u"widgetcount"_s}) {
        QCommandLineOption option(name);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

} // namespace

std::optional<int> CommandLine::answer(int argc, char **argv)
{
    // A core application is enough to parse and print; the real one, which needs a display,
    // comes only when Mirel starts.
    QCoreApplication probe(argc, argv);
    QCoreApplication::setApplicationName(u"Mirel"_s);
    QCoreApplication::setApplicationVersion(QString::fromUtf8(MIREL_VERSION));
    MirelApp::installTranslations(QLocale(), &probe);

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(
        tr("Reviews the loose files on your Desktop, in Downloads and in folders you add: "
           "keep or delete each one."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    acceptQtOptions(parser);
    parser.addOption(QCommandLineOption(
        u"autostart"_s, tr("Started at login: wait up to 10 seconds for the system tray "
                           "before opening a window.")));

    const bool parsed = parser.parse(QCoreApplication::arguments());
    std::optional<int> status;
    if (!parsed || !parser.positionalArguments().isEmpty()) {
        const QString problem =
            parsed ? tr("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst())
                   : parser.errorText();
        print(stderr, problem + u"\n\n"_s + parser.helpText());
        status = 1;
    } else if (parser.isSet(help) || parser.isSet(u"help-all"_s)) {
        print(stdout, parser.helpText());
        status = 0;
    } else if (parser.isSet(version)) {
        print(stdout, QCoreApplication::applicationName() + u' ' +
                          QCoreApplication::applicationVersion() + u'\n');
        status = 0;
    }
    return status;
}

bool CommandLine::hasGraphicalSession(const QString &platformArgument)
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    // Plugins that draw into memory, a framebuffer or a VNC client, not to a display server.
    static const QStringList withoutDisplay = {u"offscreen"_s,   u"minimal"_s, u"minimalegl"_s,
                                               u"eglfs"_s,       u"linuxfb"_s, u"vnc"_s,
                                               u"vkkhrdisplay"_s};
    const QString platforms =
        platformArgument.isEmpty() ? qEnvironmentVariable("QT_QPA_PLATFORM") : platformArgument;
    // "name:option=value", and a list tried in order: "wayland;xcb".
    for (const QString &platform : platforms.split(u';', Qt::SkipEmptyParts)) {
        if (withoutDisplay.contains(platform.section(u':', 0, 0).trimmed()))
            return true;
    }
    return false;
}

bool CommandLine::startsAtLogin(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--autostart" || argument == "-autostart")
            return true;
    }
    return false;
}

bool CommandLine::prefersXcb(const QString &platformArgument)
{
    if (!platformArgument.isEmpty() || qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ||
        qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qEnvironmentVariable("XDG_SESSION_TYPE") == u"wayland"_s;
}

QString CommandLine::platformArgument(int argc, char **argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "-platform" || argument == "--platform")
            return QString::fromLocal8Bit(argv[i + 1]);
    }
    return {};
}

QString CommandLine::noDisplayLine()
{
    return u"Mirel needs a graphical session: neither DISPLAY nor WAYLAND_DISPLAY is set."_s;
}

QString CommandLine::noWindowLine(const QString &qtMessage)
{
    return u"Mirel needs a graphical session and could not open one: "_s +
           qtMessage.section(u'\n', 0, 0).trimmed();
}
