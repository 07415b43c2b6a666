// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Mirel's XDG autostart entry, which the desktop reads at login. The entry's existence is the
// setting itself: the user may delete it by hand or through the desktop's startup settings.
class StartAtLogin final
{
public:
    // program: the executable the entry starts; see programFor().
    explicit StartAtLogin(QString program);

    // $XDG_CONFIG_HOME/autostart/io.mirel.Mirel.desktop
    static QString entryPath();
    // What an entry should start for the running binary at binaryPath: the packaged program by
    // its name, any other build by its absolute path.
    static QString programFor(const QString &binaryPath);
    // The Exec= value that starts program, quoted as the Desktop Entry format requires; empty
    // when no entry can name it (a control character in the path).
    static QString execValue(const QString &program);

    bool isEnabled() const;
    // Writes the entry in one step or removes it; false when that failed, which leaves the
    // entry as it was.
    bool setEnabled(bool enabled) const;

private:
    QString m_program;
};
