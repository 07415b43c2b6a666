// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Console.h"
#include "PathCodec.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#ifdef QT_GUI_LIB
#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QPainter>
#endif

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

// The folder that stands in for the user's home for the whole test process.
inline QString temporaryHome()
{
    static QTemporaryDir home;
    return home.path();
}

// Called from each suite's initMain(), before QCoreApplication reads any setting: HOME and the
// XDG folders of the whole process point into a temporary folder, so nothing a test (or a
// library under it) writes reaches the user's, and proxies are dropped so every request stays
// on this machine.
inline void useTemporaryHome()
{
    const QString root = temporaryHome();
    for (const auto &[name, sub] : {std::pair{"HOME", ""},
                                    {"XDG_CONFIG_HOME", "/.config"},
                                    {"XDG_DATA_HOME", "/.local/share"},
                                    {"XDG_CACHE_HOME", "/.cache"},
                                    {"XDG_STATE_HOME", "/.local/state"},
                                    {"XDG_RUNTIME_DIR", "/runtime"}}) {
        const QString folder = root + QString::fromLatin1(sub);
        QDir().mkpath(folder);
        qputenv(name, QFile::encodeName(folder));
    }
    QFile::setPermissions(root + u"/runtime", // as Qt requires
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const char *proxy :
         {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(proxy);
}

// The base of a test suite whose whole process runs in the temporary home: QTest calls
// initMain() before the application is made.
class TemporaryHomeSuite : public QObject
{
public:
    static void initMain() { useTemporaryHome(); }
};

// Sets the variables (a null value unsets one) until the end of the scope, then puts back what
// was there, whether the test passed or not.
class ScopedEnvironment final
{
public:
    ScopedEnvironment(std::initializer_list<std::pair<const char *, QByteArray>> values)
    {
        for (const auto &[name, value] : values) {
            m_saved.append({name, qEnvironmentVariableIsSet(name)
                                      ? std::optional<QByteArray>(qgetenv(name))
                                      : std::nullopt});
            value.isNull() ? qunsetenv(name) : qputenv(name, value);
        }
    }
    ~ScopedEnvironment()
    {
        for (const auto &[name, value] : m_saved)
            value ? qputenv(name, *value) : qunsetenv(name);
    }
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    QList<std::pair<const char *, std::optional<QByteArray>>> m_saved;
};

inline bool writeFile(const QString &path, const QByteArray &content, qint64 modified);

// The clock of tests that keep files: a Keep then goes to TestHome::keptMonth().
inline const QDateTime fixedNow(QDate(2026, 12, 6), QTime(9, 30));

// A private home for one test: HOME and XDG_DATA_HOME point into a fresh temporary folder, the
// settings store is emptied, and console lines are captured. Everything is put back
// when the test ends, whether it passed or not.
class TestHome final
{
public:
    TestHome()
        : m_oldHome(qgetenv("HOME"))
        , m_oldDataHome(qgetenv("XDG_DATA_HOME"))
    {
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

    // Files f0.txt (modified at newestTime) .. f<count-1>.txt, a second older each, in
    // Downloads; each holds "file <i>".
    static constexpr qint64 newestTime = 1'790'000'000;
    QStringList makeFiles(int count) const
    {
        const QString downloads = folder(u"Downloads"_s);
        QStringList paths;
        for (int i = 0; i < count; ++i) {
            paths.append(downloads + u"/f"_s + QString::number(i) + u".txt"_s);
            writeFile(paths.last(), "file " + QByteArray::number(i), newestTime - i);
        }
        return paths;
    }

    // Where a Keep at fixedNow puts its files.
    QString keptMonth() const { return path(u"Documents/Kept/2026/December"_s); }

private:
    QTemporaryDir m_dir;
    QByteArray m_oldHome;
    QByteArray m_oldDataHome;
    QStringList m_lines;
};

// Writes a file with the given content and modification time (seconds since the epoch;
// 0 leaves the time as it is). Paths are bytes, or carried as PathCodec carries them, so that
// names need not be UTF-8.
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
    return writeFile(PathCodec::encode(path), content, modified);
}

// Writes `data` to `path`, failing the calling test when that does not work.
inline void writeBytes(const QString &path, const QByteArray &data)
{
    QVERIFY2(writeFile(path, data), qPrintable(path));
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
    return readFile(PathCodec::encode(path));
}

inline bool existsNoFollow(const QByteArray &path)
{
    struct stat attributes = {};
    return ::lstat(path.constData(), &attributes) == 0;
}

// The names in a folder, hidden ones included, by name; none when it does not exist.
inline QStringList namesIn(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Whether the two folders lie on different file systems, so a move between them copies.
// Every item under the folder (links not followed) with its contents or kind: what "every file
// stays where it was" compares.
inline QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> items;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        const QByteArray kind = info.isSymLink() ? "link" : info.isDir() ? "folder" : "other";
        items.insert(path.sliced(folder.size()),
                     info.isFile() && !info.isSymLink() ? readFile(path) : kind);
    }
    return items;
}

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

#ifdef QT_GUI_LIB
// Pictures for the preview tests.

// Four quadrants in clearly different colours, so orientation and mirroring can be read back.
inline QImage quadrantImage(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    const int halfWidth = size.width() / 2;
    const int halfHeight = size.height() / 2;
    QPainter painter(&image);
    painter.fillRect(0, 0, halfWidth, halfHeight, Qt::red);
    painter.fillRect(halfWidth, 0, size.width() - halfWidth, halfHeight, Qt::green);
    painter.fillRect(0, halfHeight, halfWidth, size.height() - halfHeight, Qt::blue);
    painter.fillRect(halfWidth, halfHeight, size.width() - halfWidth, size.height() - halfHeight,
                     Qt::yellow);
    return image;
}

// A picture with detail everywhere, which compresses like a photo rather than like a flat fill.
inline QImage photoLikeImage(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb((x * 255) / size.width(), (y * 255) / size.height(), ((x ^ y) & 0xff));
    }
    return image;
}

// Written through the name's bytes, which need not be UTF-8.
inline bool writeImage(const QImage &image, const QString &path, const QByteArray &format,
                       int quality = 90)
{
    QByteArray data;
    QBuffer buffer(&data);
    return buffer.open(QIODevice::WriteOnly) && image.save(&buffer, format.constData(), quality) &&
           writeFile(path, data);
}

// A JPEG with an EXIF APP1 segment that holds only the orientation tag (1 to 8), put right after
// the start-of-image marker as cameras do.
inline bool writeJpegWithOrientation(const QImage &image, const QString &path, quint16 orientation)
{
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "JPEG", 95))
            return false;
    }
    QByteArray tiff("MM\0\x2a\0\0\0\x08", 8);          // big endian, first directory at offset 8
    tiff += QByteArray("\0\x01", 2);                   // one entry
    tiff += QByteArray("\x01\x12\0\x03\0\0\0\x01", 8); // Orientation, SHORT, count 1
    tiff += char(orientation >> 8);
    tiff += char(orientation & 0xff);
    tiff += QByteArray(2, '\0');
    tiff += QByteArray(4, '\0'); // no next directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const quint16 length = quint16(payload.size() + 2);
    QByteArray segment("\xff\xe1", 2);
    segment += char(length >> 8);
    segment += char(length & 0xff);
    segment += payload;
    jpeg.insert(2, segment);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size();
}

// A two-colour palette picture (1 bit per pixel, as `convert -type palette -depth 1` writes
// it): white with a filled ellipse of `color` touching the middle of each edge.
inline QImage paletteImage(const QSize &size, const QColor &color)
{
    QImage image(size, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), color.rgb()});
    image.fill(0);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(color));
    painter.drawEllipse(QRect(QPoint(0, 0), size));
    return image;
}

// The start of a PNG that says it is width x height RGBA pixels: signature, a valid IHDR and
// the start of the image data.
inline QByteArray hugePngHeader(quint32 width, quint32 height)
{
    QByteArray chunk("IHDR");
    for (const quint32 value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            chunk += char((value >> shift) & 0xff);
    chunk += QByteArray("\x08\x06\0\0\0", 5); // 8 bits, RGBA, no interlace
    quint32 crc = 0xffffffffu;
    for (const char c : chunk) {
        crc ^= quint8(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    crc ^= 0xffffffffu;
    QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\x0d", 12);
    png += chunk;
    for (int shift = 24; shift >= 0; shift -= 8)
        png += char((crc >> shift) & 0xff);
    // The image data begins; a decoder has to decide on the size before reading any of it.
    return png + QByteArray("\0\0\0\x40IDAT", 8) + QByteArray(68, '\0');
}

// Colour distance small enough to survive JPEG and HEIC compression at the middle of a quadrant.
inline bool roughlyEqual(QColor actual, QColor expected, int tolerance = 60)
{
    return qAbs(actual.red() - expected.red()) <= tolerance &&
           qAbs(actual.green() - expected.green()) <= tolerance &&
           qAbs(actual.blue() - expected.blue()) <= tolerance;
}

// The colours at the middle of the four quadrants: top left, top right, bottom left, bottom right.
inline QList<QColor> quadrantColors(const QImage &image)
{
    const int w = image.width();
    const int h = image.height();
    return {image.pixelColor(w / 4, h / 4), image.pixelColor(3 * w / 4, h / 4),
            image.pixelColor(w / 4, 3 * h / 4), image.pixelColor(3 * w / 4, 3 * h / 4)};
}
#endif
