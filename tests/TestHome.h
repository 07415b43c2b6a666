#pragma once

#include "Console.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// Called from each suite's initMain(), before QCoreApplication reads any setting: the
// settings store of the whole test process lives in a temporary folder.
inline void useTemporarySettingsStore()
{
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
}

// A private home for one test: HOME and XDG_DATA_HOME point into a fresh temporary folder,
// the settings store is emptied, and console lines are captured. Everything is put back
// when the test ends, whether it passed or not.
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
        QSettings(u"Mirel"_s, u"Mirel"_s).clear();
        Console::setSink([this](const QString &line) { m_lines.append(line); });
    }
    ~TestHome()
    {
        Console::setSink({});
        QSettings(u"Mirel"_s, u"Mirel"_s).clear();
        qputenv("HOME", m_oldHome);
        qputenv("XDG_DATA_HOME", m_oldDataHome);
        removeTree(QFile::encodeName(m_dir.path()));
    }

    // Byte-wise, since Qt's own removal skips names that are not valid UTF-8.
    static void removeTree(const QByteArray &path)
    {
        ::nftw(
            path.constData(),
            [](const char *item, const struct stat *, int, struct FTW *) {
                ::remove(item);
                return 0;
            },
            16, FTW_DEPTH | FTW_PHYS);
    }
    TestHome(const TestHome &) = delete;
    TestHome &operator=(const TestHome &) = delete;

    QString path() const { return m_dir.path(); }
    QString path(const QString &relative) const { return m_dir.path() + u'/' + relative; }
    QStringList &lines() { return m_lines; }

    static QSettings store() { return QSettings(u"Mirel"_s, u"Mirel"_s); }

    // How many scans ran since the lines were last cleared: each ends with its total.
    qsizetype scanCount() const
    {
        qsizetype count = 0;
        for (const QString &line : m_lines)
            count += line.startsWith(u"Total files: ") ? 1 : 0;
        return count;
    }

    // Makes the folder (and parents) under the home.
    QString folder(const QString &relative) const
    {
        const QString full = path(relative);
        QDir().mkpath(full);
        return full;
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
    QByteArray m_oldDataHome;
    QStringList m_lines;
};

// Writes a file with the given content and modification time (seconds since the epoch;
// 0 leaves the time as it is). Paths are bytes so that names need not be UTF-8.
inline bool writeFile(const QByteArray &path, const QByteArray &content = "data",
                      qint64 modified = 0)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    ::close(fd);
    if (modified != 0) {
        const struct timespec times[2] = {{time_t(modified), 0}, {time_t(modified), 0}};
        if (::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
    }
    return ok;
}

inline bool writeFile(const QString &path, const QByteArray &content = "data", qint64 modified = 0)
{
    return writeFile(QFile::encodeName(path), content, modified);
}

inline QByteArray readFile(const QByteArray &path)
{
    QFile file;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    return file.readAll();
}

inline QByteArray readFile(const QString &path)
{
    return readFile(QFile::encodeName(path));
}

inline bool existsNoFollow(const QByteArray &path)
{
    struct stat attributes = {};
    return ::lstat(path.constData(), &attributes) == 0;
}

// Whether the two folders lie on different file systems, so a move between them copies.
inline bool onAnotherFileSystem(const QString &a, const QString &b)
{
    struct stat first = {};
    struct stat second = {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev != second.st_dev;
}

// The desktop's names for the user's folders, as xdg-user-dirs writes them into
// $XDG_CONFIG_HOME/user-dirs.dirs ("$HOME/Schreibtisch"), for as long as the object lives.
// Each line is KEY=value, e.g. XDG_DESKTOP_DIR="$HOME/Schreibtisch".
class UserDirsFile final
{
public:
    explicit UserDirsFile(const QStringList &lines)
        : m_path(qEnvironmentVariable("XDG_CONFIG_HOME") + u"/user-dirs.dirs"_s)
    {
        QFile file(m_path);
        if (!lines.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(lines.join(u'\n').toUtf8() + '\n');
    }
    ~UserDirsFile() { QFile::remove(m_path); }
    UserDirsFile(const UserDirsFile &) = delete;
    UserDirsFile &operator=(const UserDirsFile &) = delete;

private:
    QString m_path;
};
