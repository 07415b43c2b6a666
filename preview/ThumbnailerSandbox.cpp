// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThumbnailerSandbox.h"

#include "ImageDecoder.h"
#include "LimitedChild.h"
#include "PreviewFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace ThumbnailerSandbox {
namespace {

// Where the sandboxed program finds its input and writes its output.
const QString sandboxTemp = u"/tmp"_s;
const QString outputName = u"thumbnail.png"_s;
using LimitedChild::inputSlot;
using LimitedChild::Spawn;

std::vector<std::string> environmentFor(const QString &home, const QString &temp)
{
    std::vector<std::string> environment = {
        "PATH=/usr/local/bin:/usr/bin:/bin",
        "HOME=" + QFile::encodeName(home).toStdString(),
        "TMPDIR=" + QFile::encodeName(temp).toStdString(),
    };
    for (const char *name : {"LANG", "LC_ALL", "LC_CTYPE"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty())
            environment.push_back(std::string(name) + '=' + value.toStdString());
    }
    return environment;
}

std::vector<std::string> toStd(const QStringList &list)
{
    std::vector<std::string> result;
    result.reserve(size_t(list.size()));
    for (const QString &item : list)
        result.push_back(QFile::encodeName(item).toStdString());
    return result;
}

// What a program needs of the root folder: /usr, the /bin and /lib links into it (or the
// folders, on systems that still have them), and the few files in /etc that libraries read.
QStringList bubblewrapBase()
{
    QStringList arguments = {u"--unshare-all"_s, u"--die-with-parent"_s, u"--new-session"_s};
    if (geteuid() == 0)
        arguments << u"--cap-drop"_s << u"ALL"_s;
    arguments << u"--ro-bind"_s << u"/usr"_s << u"/usr"_s;
    for (const QString &top :
         {u"/bin"_s, u"/sbin"_s, u"/lib"_s, u"/lib32"_s, u"/lib64"_s, u"/libx32"_s}) {
        const QFileInfo info(top);
        if (info.isSymLink())
            arguments << u"--symlink"_s << info.symLinkTarget() << top;
        else if (info.isDir())
            arguments << u"--ro-bind"_s << top << top;
    }
    for (const QString &etc :
         {u"/etc/fonts"_s, u"/etc/ld.so.cache"_s, u"/etc/alternatives"_s, u"/etc/localtime"_s})
        arguments << u"--ro-bind-try"_s << etc << etc;
    arguments << u"--proc"_s << u"/proc"_s << u"--dev"_s << u"/dev"_s << u"--tmpfs"_s
              << sandboxTemp;
    return arguments;
}

QStringList bubblewrapEnvironment()
{
    QStringList arguments = {u"--clearenv"_s, u"--setenv"_s, u"PATH"_s,   u"/usr/bin:/bin"_s,
                             u"--setenv"_s,   u"HOME"_s,     sandboxTemp, u"--setenv"_s,
                             u"TMPDIR"_s,     sandboxTemp};
    for (const char *name : {"LANG", "LC_ALL", "LC_CTYPE"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty())
            arguments << u"--setenv"_s << QString::fromLatin1(name) << value;
    }
    return arguments;
}

QString bubblewrapProgram()
{
    return findProgram(u"bwrap"_s);
}

// Only letters and digits, so that the name can say nothing to a program's option parser.
QString safeExtension(const QString &nameHint)
{
    QString suffix = QFileInfo(nameHint).suffix().left(16);
    static const QRegularExpression plain(u"^[A-Za-z0-9]+$"_s);
    return plain.match(suffix).hasMatch() ? u"."_s + suffix : QString();
}

bool isUnder(const QString &path, const QString &folder)
{
    return path.startsWith(folder + u'/');
}

class PrivateFolder
{
public:
    PrivateFolder()
    {
        QByteArray pattern = QFile::encodeName(QDir::tempPath() + u"/mirel-thumbnailer-XXXXXX"_s);
        if (mkdtemp(pattern.data()))
            m_path = QFile::decodeName(pattern);
    }
    ~PrivateFolder()
    {
        if (!m_path.isEmpty())
            QDir(m_path).removeRecursively();
    }
    PrivateFolder(const PrivateFolder &) = delete;
    PrivateFolder &operator=(const PrivateFolder &) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    QString path(const QString &name) const { return m_path + u'/' + name; }
    bool makeFolder(const QString &name) const
    {
        return mkdir(QFile::encodeName(path(name)).constData(), 0700) == 0;
    }

private:
    QString m_path;
};

std::uint32_t bigEndian(const unsigned char *bytes)
{
    return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) |
           (std::uint32_t(bytes[2]) << 8) | std::uint32_t(bytes[3]);
}

// Checks what the program wrote as far as that takes no decoding (a regular file, not too large,
// a PNG's signature and a header whose size is in bounds), then has the preview process decode
// it fitted within the size asked.
Result readOutput(const QString &path, const Options &options)
{
    Result result;
    result.outcome = Outcome::BadOutput;
    const int fd =
        open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.outcome = errno == ENOENT ? Outcome::NoOutput : Outcome::BadOutput;
        result.detail = u"no output file"_s;
        return result;
    }
    // Owned by `output` from here on, closed with it.
    const auto output = PreviewFile::adopt(fd, path);
    if (!output->isRegular() || output->size() == 0) {
        result.outcome = output->isRegular() ? Outcome::NoOutput : Outcome::BadOutput;
        result.detail = output->isRegular() ? u"empty output file"_s : u"not a regular file"_s;
        return result;
    }
    // The signature, then the IHDR chunk: length, type, width, height.
    const QByteArray head = output->head(24);
    if (output->size() > options.outputLimit || head.size() < 24 ||
        !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR") {
        result.detail =
            u"the output is not a PNG file of at most %1 bytes"_s.arg(options.outputLimit);
        return result;
    }
    const auto *header = reinterpret_cast<const unsigned char *>(head.constData());
    const std::uint32_t width = bigEndian(header + 16);
    const std::uint32_t height = bigEndian(header + 20);
    if (width == 0 || height == 0 || width > std::uint32_t(options.maxSide) ||
        height > std::uint32_t(options.maxSide)) {
        result.detail = u"the picture's size is out of bounds"_s;
        return result;
    }
    const ImageDecoder::Result decoded = ImageDecoder::decode(
        *output, QSize(options.size, options.size), options.cancel, options.lane);
    if (decoded.status == PreviewWorker::Status::Cancelled) {
        result.outcome = Outcome::Cancelled;
        return result;
    }
    if (decoded.status == PreviewWorker::Status::Unavailable) {
        // No preview process to decode it: nothing is known about the picture.
        result.outcome = Outcome::CouldNotStart;
        result.detail = u"the preview process could not be started"_s;
        return result;
    }
    if (decoded.image.isNull()) {
        result.detail = u"the preview process could not decode the output"_s;
        return result;
    }
    result.outcome = Outcome::Made;
    result.image = decoded.image;
    return result;
}

} // namespace

QStringList expandExec(const QString &exec, const QMap<QChar, QString> &fields)
{
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    bool keepEmpty = false; // "" is an argument; a dropped field code alone is not
    const auto finish = [&] {
        if (inArgument && (!current.isEmpty() || keepEmpty))
            arguments.append(current);
        current.clear();
        inArgument = keepEmpty = false;
    };
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec.at(i);
        if (!quoted && (c == u' ' || c == u'\t' || c == u'\n')) {
            finish();
            continue;
        }
        inArgument = true;
        if (c == u'"') {
            quoted = !quoted;
            keepEmpty = true;
        } else if (quoted && c == u'\\' && i + 1 < exec.size()) {
            current += exec.at(++i);
        } else if (c == u'%' && i + 1 < exec.size()) {
            const QChar code = exec.at(++i);
            if (code == u'%')
                current += u'%';
            else
                current += fields.value(code);
        } else {
            current += c;
        }
    }
    finish();
    return arguments;
}

QString findProgram(const QString &name)
{
    const auto executable = [](const QString &path) {
        struct stat attributes = {};
        const QByteArray bytes = QFile::encodeName(path);
        return stat(bytes.constData(), &attributes) == 0 && S_ISREG(attributes.st_mode) &&
               access(bytes.constData(), X_OK) == 0;
    };
    if (name.isEmpty())
        return QString();
    if (name.contains(u'/'))
        return QDir::isAbsolutePath(name) && executable(name) ? QDir::cleanPath(name) : QString();
    QString path = qEnvironmentVariable("PATH");
    if (path.isEmpty())
        path = u"/usr/local/bin:/usr/bin:/bin"_s;
    for (const QString &folder : path.split(u':', Qt::SkipEmptyParts)) {
        const QString candidate = folder + u'/' + name;
        if (QDir::isAbsolutePath(folder) && executable(candidate))
            return QDir::cleanPath(candidate);
    }
    return QString();
}

bool bubblewrapWorks()
{
    static std::once_flag once;
    static bool works = false;
    std::call_once(once, [] {
        const QString bwrap = bubblewrapProgram();
        const QString truth = findProgram(u"/usr/bin/true"_s);
        if (bwrap.isEmpty() || truth.isEmpty())
            return;
        Spawn spawn;
        spawn.arguments = toStd(QStringList{bwrap} + bubblewrapBase() + bubblewrapEnvironment() +
                                QStringList{u"--"_s, truth});
        spawn.environment = environmentFor(u"/"_s, QDir::tempPath());
        const LimitedChild::Ended ended = LimitedChild::run(spawn, std::chrono::seconds(5));
        works = ended.started && !ended.timedOut && WIFEXITED(ended.status) &&
                WEXITSTATUS(ended.status) == 0;
    });
    return works;
}

Result run(const QString &exec, int fd, const Options &options)
{
    Result result;
    struct stat attributes = {};
    if (fstat(fd, &attributes) != 0 || !S_ISREG(attributes.st_mode)) {
        // A pipe or a device would hang the program or feed it endless data.
        result.detail = u"the input is not a regular file"_s;
        return result;
    }
    const bool sandboxed = options.isolation == Isolation::Bubblewrap ||
                           (options.isolation == Isolation::Automatic && bubblewrapWorks());
    result.sandboxed = sandboxed;
    PrivateFolder folder;
    if (!folder.isValid() || !folder.makeFolder(u"out"_s)) {
        result.detail = u"no private folder for the output"_s;
        return result;
    }
    const QString extension = safeExtension(options.nameHint);
    QString input;
    QString output;
    if (sandboxed) {
        input = sandboxTemp + u"/input"_s + extension;
        output = sandboxTemp + u"/out/"_s + outputName;
    } else {
        // A name of its own for the descriptor it inherits, with the file's extension.
        input = folder.path(u"input"_s + extension);
        if (!QFile::link(u"/proc/self/fd/%1"_s.arg(inputSlot), input) ||
            !folder.makeFolder(u"home"_s)) {
            result.detail = u"cannot prepare the private folder"_s;
            return result;
        }
        output = folder.path(u"out/"_s + outputName);
    }
    const QStringList command =
        expandExec(exec, {{u'i', input},
                          {u'u', QString::fromLatin1(QUrl::fromLocalFile(input).toEncoded())},
                          {u'o', output},
                          {u's', QString::number(options.size)}});
    const QString program = command.isEmpty() ? QString() : findProgram(command.first());
    if (program.isEmpty()) {
        result.detail = u"no such program: %1"_s.arg(command.value(0));
        return result;
    }

    Spawn spawn;
    spawn.inputFd = fd;
    spawn.memoryLimit = options.memoryLimit;
    spawn.cpuSeconds = int(std::chrono::ceil<std::chrono::seconds>(options.deadline).count()) + 1;
    spawn.fileSizeLimit = options.outputLimit + 1;
    QStringList arguments = command;
    arguments.first() = program;
    if (sandboxed) {
        const QString bwrap = bubblewrapProgram();
        if (bwrap.isEmpty()) {
            result.detail = u"bwrap is not installed"_s;
            return result;
        }
        QStringList wrapper = QStringList{bwrap} + bubblewrapBase();
        wrapper << u"--ro-bind-fd"_s << QString::number(inputSlot) << input << u"--bind"_s
                << folder.path(u"out"_s) << sandboxTemp + u"/out"_s;
        // A program outside /usr (one a user installed for themselves) is shown on its own.
        if (!isUnder(program, u"/usr"_s))
            wrapper << u"--ro-bind"_s << program << program;
        wrapper << u"--chdir"_s << sandboxTemp << bubblewrapEnvironment() << u"--"_s;
        arguments = wrapper + arguments;
        spawn.environment = environmentFor(u"/"_s, QDir::tempPath());
    } else {
        spawn.noNewPrivileges = true;
        spawn.environment = environmentFor(folder.path(u"home"_s), folder.path(u"home"_s));
    }
    spawn.arguments = toStd(arguments);

    const LimitedChild::Ended ended =
        LimitedChild::run(std::move(spawn), options.deadline, options.cancel);
    if (!ended.started) {
        result.detail = QString::fromLocal8Bit(strerror(ended.startErrno));
        return result;
    }
    if (ended.cancelled) {
        result.outcome = Outcome::Cancelled;
        return result;
    }
    if (ended.timedOut) {
        result.outcome = Outcome::TimedOut;
        result.detail = u"still running after %1 ms"_s.arg(options.deadline.count());
        return result;
    }
    if (!WIFEXITED(ended.status) || WEXITSTATUS(ended.status) != 0) {
        result.outcome = Outcome::Failed;
        result.detail = WIFSIGNALED(ended.status)
                            ? u"killed by signal %1"_s.arg(WTERMSIG(ended.status))
                            : u"exit status %1"_s.arg(WEXITSTATUS(ended.status));
        return result;
    }
    Result checked = readOutput(folder.path(u"out/"_s + outputName), options);
    checked.sandboxed = sandboxed;
    return checked;
}

} // namespace ThumbnailerSandbox
