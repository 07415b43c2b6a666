// SPDX-License-Identifier: GPL-3.0-or-later
#include "StartAtLogin.h"

#include "UpdaterSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

StartAtLogin::StartAtLogin(QString program)
    : m_program(std::move(program))
{}

QString StartAtLogin::entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           u"/autostart/io.mirel.Mirel.desktop"_s;
}

QString StartAtLogin::programFor(const QString &binaryPath)
{
    const QFileInfo binary(binaryPath);
    if (UpdaterSettings::isPackaged(binary.absolutePath()))
        return binary.fileName();
    return binary.absoluteFilePath();
}

QString StartAtLogin::execValue(const QString &program)
{
    // A desktop entry is UTF-8 text of lines: a name Qt could not decode, or one with a
    // control character, cannot be written into it.
    if (!program.isValidUtf16() || program.contains(QChar::ReplacementCharacter) ||
        std::any_of(program.cbegin(), program.cend(),
                    [](QChar c) { return c.category() == QChar::Other_Control; }))
        return {};
    // An argument holding a reserved character is quoted, and within the quotes the quote,
    // backtick, dollar and backslash take a backslash; the string value then escapes every
    // backslash once more, and a literal % is written twice since % starts a field code.
    static const QString reserved = u" \t\"'\\><~|&;$*?#()`"_s;
    QString argument = program;
    argument.replace(u'%', u"%%"_s);
    if (std::any_of(argument.cbegin(), argument.cend(),
                    [](QChar c) { return reserved.contains(c); })) {
        QString quoted;
        for (const QChar c : std::as_const(argument)) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                quoted += u'\\';
            quoted += c;
        }
        argument = u'"' + quoted + u'"';
    }
    return argument.replace(u'\\', u"\\\\"_s);
}

bool StartAtLogin::isEnabled() const
{
    return QFileInfo::exists(entryPath());
}

bool StartAtLogin::setEnabled(bool enabled) const
{
    const QString path = entryPath();
    if (!enabled)
        return !QFileInfo::exists(path) || QFile::remove(path);

    const QString exec = execValue(m_program);
    if (exec.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    const QString entry = u"[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Mirel\n"
                          "Comment=Review and clear out loose files\n"
                          "Exec="_s +
                          exec +
                          u" --autostart\n"
                          "Icon=io.mirel.Mirel\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n"_s;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = entry.toUtf8();
    return file.write(bytes) == bytes.size() && file.commit();
}
