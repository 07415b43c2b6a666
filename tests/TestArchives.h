// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDebug>
#include <QFile>
#include <QList>
#include <QString>

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <functional>

// One member of a test archive: `data` when given, else `size` zeros written in pieces.
struct ArchiveMember
{
    QByteArray path;
    qint64 size = 0;
    bool directory = false;
    QByteArray data = {};
};

// Sets the writer's format and filters.
using Configure = std::function<void(archive *)>;

inline Configure format(int (*setFormat)(archive *), int (*addFilter)(archive *) = nullptr)
{
    return [=](archive *a) {
        setFormat(a);
        if (addFilter)
            addFilter(a);
    };
}

// Writes an archive with libarchive's own writer.
inline bool writeArchive(const QString &path, const Configure &configure,
                         const QList<ArchiveMember> &members)
{
    archive *a = archive_write_new();
    configure(a);
    if (archive_write_open_filename(a, QFile::encodeName(path).constData()) != ARCHIVE_OK) {
        qWarning() << archive_error_string(a);
        archive_write_free(a);
        return false;
    }
    const QByteArray zeros(1 << 20, '\0');
    bool ok = true;
    for (const ArchiveMember &member : members) {
        const qint64 size = member.directory        ? 0
                            : member.data.isEmpty() ? member.size
                                                    : member.data.size();
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, member.path.constData());
        archive_entry_set_filetype(entry, member.directory ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(entry, member.directory ? 0755 : 0644);
        archive_entry_set_size(entry, size);
        archive_entry_set_mtime(entry, 1'700'000'000, 0);
        ok = ok && archive_write_header(a, entry) == ARCHIVE_OK;
        for (qint64 done = 0; ok && done < size;) {
            const QByteArray &source = member.data.isEmpty() ? zeros : member.data;
            const qint64 piece = std::min<qint64>(size - done, source.size());
            const char *from =
                member.data.isEmpty() ? zeros.constData() : source.constData() + done;
            ok = archive_write_data(a, from, size_t(piece)) == piece;
            done += piece;
        }
        archive_entry_free(entry);
    }
    ok = archive_write_close(a) == ARCHIVE_OK && ok;
    archive_write_free(a);
    return ok;
}
