// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>

#include <optional>

// What Mirel does with its command line before it opens any window: --help and --version
// answer and end the process without reaching a running Mirel; a mistake prints the usage.
class CommandLine final
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    // The exit status when the command line has been answered here; nothing when Mirel should
    // start.
    static std::optional<int> answer(int argc, char **argv);

    // Whether Qt can open a window here: a display server is named in the environment, or the
    // chosen platform plugin (the -platform argument, else QT_QPA_PLATFORM) needs none.
    static bool hasGraphicalSession(const QString &platformArgument);

    // Whether the autostart entry started Mirel (--autostart).
    static bool startsAtLogin(int argc, char **argv);

    // Whether Mirel should run on X11 through XWayland: in a Wayland session that has one
    // (DISPLAY set), unless the user chose a platform. Only there can the panel be placed by
    // the tray icon; Wayland leaves the placing of windows to the compositor.
    static bool prefersXcb(const QString &platformArgument);

    // The -platform argument Qt will use, if any.
    static QString platformArgument(int argc, char **argv);

    // The console lines for a session without a display, and for one Qt could not open.
    static QString noDisplayLine();
    static QString noWindowLine(const QString &qtMessage);
};
