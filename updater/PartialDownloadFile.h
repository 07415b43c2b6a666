// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <optional>

#include <sys/types.h>

// The file a download is written to until it has been checked. It is created unnamed
// (O_TMPFILE) in its folder, so no listing ever shows it and a crash leaves nothing behind.
// Where the file system offers no unnamed files it gets a hidden name that the scan skips
// (".mirel-update-*.part"), and before that name is given up the entry is checked to still
// be this very file. Every step works on descriptors of the file and of the folder, which is
// opened once; no path is followed twice. The file is removed unless place() succeeded.
class PartialDownloadFile final
{
public:
    enum class Naming { Unnamed, Hidden };

    PartialDownloadFile() = default;
    ~PartialDownloadFile();
    PartialDownloadFile(const PartialDownloadFile &) = delete;
    PartialDownloadFile &operator=(const PartialDownloadFile &) = delete;

    // Creates the file in folder, unnamed when the file system allows it and preferred is
    // Unnamed. Returns 0 or an errno code.
    int create(const QString &folder, Naming preferred = Naming::Unnamed);
    bool isOpen() const { return m_fd >= 0; }
    Naming naming() const { return m_naming; }
    // The hidden name while the file has one, else empty.
    QString hiddenName() const;

    // Appends bytes; false when not all of them could be written.
    bool write(QByteArrayView bytes);
    // The size of what has been written, -1 when it cannot be read.
    qint64 size() const;
    // Calls check with the whole content mapped into memory; false when it cannot be mapped.
    bool inspect(const std::function<bool(QByteArrayView)> &check) const;

    // Gives the file the first of nameFor(0), nameFor(1), ... nameFor(maxNumber) that is
    // free in the folder; a taken name is never replaced. Returns the new path, or nothing
    // when every name was taken, the hidden entry is no longer this file, or saving failed.
    std::optional<QString> place(const std::function<QString(int)> &nameFor, int maxNumber);

    // Closes and removes the file.
    void discard();

private:
    bool hiddenEntryIsThisFile() const;
    void closeAll();

    QString m_folder;
    int m_folderFd = -1;
    int m_fd = -1;
    Naming m_naming = Naming::Unnamed;
    QByteArray m_hiddenName; // Hidden naming only, until placed
    dev_t m_device = 0;
    ino_t m_inode = 0;
};
