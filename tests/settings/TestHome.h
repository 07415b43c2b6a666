#pragma once

#include "Console.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

// Called from each suite's initMain(), before anything reads a setting: QSettings keeps the
// folder it found first, so the store of the whole test process lives in a temporary folder.
inline void useTemporarySettingsStore()
{
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
}

// A private home for one test: HOME and XDG_DATA_HOME point into a fresh temporary folder,
// the settings store is emptied and console lines are captured. All of it is put back when
// the test ends, whether it passed or not.
class TestHome final
{
public:
    TestHome()
        : m_oldHome(qgetenv("HOME"))
        , m_oldDataHome(qgetenv("XDG_DATA_HOME"))
    {
        useTemporarySettingsStore();
        QVERIFY(m_dir.isValid());
        qputenv("HOME", QFile::encodeName(m_dir.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.path() + u"/.local/share"));
        store().clear();
        Console::setSink([this](const QString &line) { m_lines.append(line); });
    }
    ~TestHome()
    {
        Console::setSink({});
        store().clear();
        qputenv("HOME", m_oldHome);
        qputenv("XDG_DATA_HOME", m_oldDataHome);
    }
    TestHome(const TestHome &) = delete;
    TestHome &operator=(const TestHome &) = delete;

    static QSettings store() { return QSettings(QStringLiteral("Mirel"), QStringLiteral("Mirel")); }

    QString path() const { return m_dir.path(); }
    QString path(const QString &relative) const { return m_dir.path() + u'/' + relative; }
    QStringList &lines() { return m_lines; }

    // Makes the folder (and its parents) under the home.
    QString folder(const QString &relative) const
    {
        const QString full = path(relative);
        QDir().mkpath(full);
        return full;
    }

    // How many scans ran since the lines were last cleared: each ends with its total.
    qsizetype scanCount() const
    {
        qsizetype count = 0;
        for (const QString &line : m_lines)
            count += line.startsWith(u"Total files: ") ? 1 : 0;
        return count;
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
    QByteArray m_oldDataHome;
    QStringList m_lines;
};
