// SPDX-License-Identifier: GPL-3.0-or-later
// archive_bench make N FILE.{zip,tar.gz}: N small entries, written with libarchive
// archive_bench time ROUNDS FILE: lists FILE from a descriptor, one line per round on stderr
#include "ArchiveListing.h"

#include <QByteArray>
#include <QElapsedTimer>

#include <archive.h>
#include <archive_entry.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

int make(long count, const char *path)
{
    archive *a = archive_write_new();
    const bool zip = std::strstr(path, ".zip") != nullptr;
    if (zip) {
        archive_write_set_format_zip(a);
    } else {
        archive_write_set_format_pax_restricted(a);
        archive_write_add_filter_gzip(a);
    }
    if (archive_write_open_filename(a, path) != ARCHIVE_OK) {
        std::fprintf(stderr, "%s\n", archive_error_string(a));
        return 1;
    }
    for (long i = 0; i < count; ++i) {
        const QByteArray name = "folder-" + QByteArray::number(qlonglong(i / 1000)) + "/file-" +
                                QByteArray::number(qlonglong(i)) + ".txt";
        archive_entry *entry = archive_entry_new();
        archive_entry_set_pathname(entry, name.constData());
        archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, 16);
        archive_write_header(a, entry);
        archive_write_data(a, "sixteen bytes...", 16);
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
    return 0;
}

int time(int rounds, const char *path)
{
    for (int round = 0; round < rounds; ++round) {
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return 1;
        QElapsedTimer timer;
        timer.start();
        const ArchiveListing listing = ArchiveLister::list(fd);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        close(fd);
        std::fprintf(stderr, "round %d: %lld entries, %lld listed, %.1f ms\n", round + 1,
                     listing.entryCount, qlonglong(listing.entries.size()), ms);
        if (listing.problem != ArchiveListing::Problem::None)
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "make") == 0)
        return make(std::atol(argv[2]), argv[3]);
    if (argc == 4 && std::strcmp(argv[1], "time") == 0)
        return time(std::atoi(argv[2]), argv[3]);
    std::fprintf(stderr, "usage: archive_bench make N FILE | time ROUNDS FILE\n");
    return 2;
}
