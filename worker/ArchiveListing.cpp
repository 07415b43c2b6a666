// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchiveListing.h"

#include <QFile>

#include <archive.h>
#include <archive_entry.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;
using Problem = ArchiveListing::Problem;

// Small reads: each one is a chance to notice that the time is up, even while a highly
// compressed stream is being skipped through.
constexpr size_t blockSize = 16 * 1024;
const QString budgetSpent = u"the time for listing ran out"_s;

struct Budget
{
    Clock::time_point deadline;
    bool spent = false;

    bool check(archive *a)
    {
        if (Clock::now() < deadline)
            return true;
        spent = true;
        archive_set_error(a, ETIMEDOUT, "%s", qPrintable(budgetSpent));
        return false;
    }
};

// The archive file itself, read with pread at an offset of its own.
struct FileSource
{
    int fd = -1;
    qint64 size = 0;
    qint64 offset = 0;
    Budget *budget = nullptr;
    int readErrno = 0;
    std::array<char, blockSize> buffer{};
};

la_ssize_t readFile(archive *a, void *data, const void **block)
{
    auto *source = static_cast<FileSource *>(data);
    if (!source->budget->check(a))
        return -1;
    ssize_t got = 0;
    do {
        got = pread(source->fd, source->buffer.data(), source->buffer.size(), source->offset);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        source->readErrno = errno;
        archive_set_error(a, errno, "%s", std::strerror(errno));
        return -1;
    }
    source->offset += got;
    *block = source->buffer.data();
    return got;
}

la_int64_t seekFile(archive *, void *data, la_int64_t offset, int whence)
{
    auto *source = static_cast<FileSource *>(data);
    qint64 base = 0;
    if (whence == SEEK_CUR)
        base = source->offset;
    else if (whence == SEEK_END)
        base = source->size;
    if (offset > std::numeric_limits<qint64>::max() - base || base + offset < 0)
        return ARCHIVE_FATAL;
    source->offset = base + offset;
    return source->offset;
}

la_int64_t skipFile(archive *, void *data, la_int64_t request)
{
    auto *source = static_cast<FileSource *>(data);
    const la_int64_t skipped =
        std::max<la_int64_t>(0, std::min<la_int64_t>(request, source->size - source->offset));
    source->offset += skipped;
    return skipped;
}

// The data of an entry of another archive (the data.tar.* inside a .deb), read as a stream.
struct EntrySource
{
    archive *outer = nullptr;
    Budget *budget = nullptr;
    std::array<char, blockSize> buffer{};
};

la_ssize_t readEntry(archive *a, void *data, const void **block)
{
    auto *source = static_cast<EntrySource *>(data);
    if (!source->budget->check(a))
        return -1;
    const la_ssize_t got =
        archive_read_data(source->outer, source->buffer.data(), source->buffer.size());
    if (got < 0) {
        archive_set_error(a, archive_errno(source->outer), "%s",
                          archive_error_string(source->outer));
        return -1;
    }
    *block = source->buffer.data();
    return got;
}

struct ArchiveFree
{
    void operator()(archive *a) const { archive_read_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;

// Compression filters built into the library. Those it would run as an outside program
// (lrzip, lzop, grzip, or any filter it was built without) are never enabled.
ArchivePtr newReader()
{
    ArchivePtr a(archive_read_new());
    for (auto filter : {archive_read_support_filter_gzip, archive_read_support_filter_bzip2,
                        archive_read_support_filter_xz, archive_read_support_filter_lzma,
                        archive_read_support_filter_lzip, archive_read_support_filter_zstd,
                        archive_read_support_filter_lz4, archive_read_support_filter_compress}) {
        ArchivePtr probe(archive_read_new());
        if (filter(probe.get()) == ARCHIVE_OK)
            filter(a.get());
    }
    // The formats people download, and no more: each reader is code that hostile bytes reach.
    // Never mtree: its entries can name files on this machine, which it would then read.
    for (auto format : {archive_read_support_format_zip, archive_read_support_format_tar,
                        archive_read_support_format_7zip, archive_read_support_format_rar,
                        archive_read_support_format_rar5, archive_read_support_format_ar,
                        archive_read_support_format_cpio, archive_read_support_format_iso9660})
        format(a.get());
    return a;
}

QString errorText(archive *a)
{
    // Some readers (7z's, for one) fail without saying why.
    const char *text = archive_error_string(a);
    return text && *text ? QString::fromLocal8Bit(text) : u"the archive data cannot be read"_s;
}

qint64 saturatingAdd(qint64 total, qint64 size)
{
    if (size <= 0)
        return total;
    return size > std::numeric_limits<qint64>::max() - total ? std::numeric_limits<qint64>::max()
                                                             : total + size;
}

QString entryPath(archive_entry *entry)
{
    if (const char *utf8 = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    if (const char *raw = archive_entry_pathname(entry))
        return QFile::decodeName(raw);
    return QString();
}

bool isDirectory(archive_entry *entry, const QString &path)
{
    return archive_entry_filetype(entry) == AE_IFDIR || path.endsWith(u'/');
}

class Lister
{
public:
    Lister(const ArchiveLister::Limits &limits, Budget &budget, ArchiveListing &out)
        : m_limits(limits)
        , m_budget(budget)
        , m_out(out)
    {}

    // Adds the entries of `a`, which is open. A .deb is recognised by its first member and
    // then only the entries of its data archive are listed.
    void addEntries(archive *a, bool topLevel)
    {
        bool first = true;
        for (;;) {
            archive_entry *entry = nullptr;
            const int result = archive_read_next_header(a, &entry);
            if (result == ARCHIVE_EOF)
                break;
            if (result == ARCHIVE_RETRY)
                continue;
            if (result < ARCHIVE_WARN) {
                fail(a);
                return;
            }
            const QString path = entryPath(entry);
            if (topLevel && first && path == u"debian-binary"_s &&
                (archive_format(a) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_AR) {
                m_out.isDebianPackage = true;
            }
            first = false;
            if (m_out.isDebianPackage && topLevel) {
                if (path.startsWith(u"data.tar"_s)) {
                    addNested(a);
                    return;
                }
            } else if (!add(entry, path)) {
                return;
            }
            if (archive_read_data_skip(a) < ARCHIVE_WARN) {
                fail(a);
                return;
            }
        }
        noteEncryption(a);
        if (m_out.isDebianPackage && topLevel) {
            m_out.problem = Problem::Damaged;
            m_out.detail = u"no data archive in this package"_s;
        }
    }

private:
    bool add(archive_entry *entry, const QString &path)
    {
        const bool directory = isDirectory(entry, path);
        const qint64 size = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
        if (m_out.entries.size() < m_limits.listed)
            m_out.entries.append({path, std::max<qint64>(size, 0), directory});
        ++m_out.entryCount;
        if (!directory)
            m_out.totalSize = saturatingAdd(m_out.totalSize, size);
        if (archive_entry_is_encrypted(entry))
            m_out.encrypted = true;
        if (m_out.entryCount >= m_limits.counted) {
            m_out.problem = Problem::Unfinished;
            m_out.detail = u"too many entries to count"_s;
            return false;
        }
        return true;
    }

    void addNested(archive *outer)
    {
        ArchivePtr inner = newReader();
        EntrySource source;
        source.outer = outer;
        source.budget = &m_budget;
        if (archive_read_open(inner.get(), &source, nullptr, readEntry, nullptr) != ARCHIVE_OK) {
            fail(inner.get());
            return;
        }
        addEntries(inner.get(), false);
    }

    void noteEncryption(archive *a)
    {
        if (archive_read_has_encrypted_entries(a) > 0)
            m_out.encrypted = true;
    }

    void fail(archive *a)
    {
        noteEncryption(a);
        if (m_out.problem != Problem::None)
            return;
        m_out.detail = m_budget.spent ? budgetSpent : errorText(a);
        if (m_budget.spent)
            m_out.problem = Problem::Unfinished;
        else if (m_out.detail.contains(u"encrypt"_s, Qt::CaseInsensitive) && m_out.entryCount == 0)
            m_out.problem = Problem::EncryptedIndex;
        else
            m_out.problem = Problem::Damaged;
        if (m_out.problem == Problem::EncryptedIndex)
            m_out.encrypted = true;
    }

    const ArchiveLister::Limits &m_limits;
    Budget &m_budget;
    ArchiveListing &m_out;
};

} // namespace

ArchiveListing ArchiveLister::list(int fd, const Limits &limits)
{
    ArchiveListing out;
    struct stat attributes = {};
    if (fstat(fd, &attributes) != 0 || !S_ISREG(attributes.st_mode)) {
        out.problem = Problem::NotAFile;
        return out;
    }
    Budget budget{Clock::now() + limits.budget};
    FileSource source;
    source.fd = fd;
    source.size = attributes.st_size;
    source.budget = &budget;

    ArchivePtr a = newReader();
    archive_read_set_seek_callback(a.get(), seekFile);
    if (archive_read_open2(a.get(), &source, nullptr, readFile, skipFile, nullptr) != ARCHIVE_OK) {
        out.detail = budget.spent ? budgetSpent : errorText(a.get());
        if (source.readErrno != 0)
            out.problem = Problem::ReadError;
        else if (budget.spent)
            out.problem = Problem::Unfinished;
        else if (out.detail.startsWith(u"Unrecognized archive format"_s))
            out.problem = Problem::UnknownFormat;
        else
            out.problem = Problem::Damaged;
        return out;
    }
    Lister(limits, budget, out).addEntries(a.get(), true);
    if (source.readErrno != 0 && out.problem == Problem::Damaged)
        out.problem = Problem::ReadError;
    return out;
}
