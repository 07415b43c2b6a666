// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"

#include "Console.h"
#include "FileNames.h"
#include "FileSystem.h"
#include "FileTypes.h"
#include "FolderAccessService.h"
#include "FolderLister.h"
#include "UserFolders.h"

#include <QHash>
#include <QRandomGenerator>

#include <algorithm>
#include <random>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// A fresh random (version 4) id for a listed file. Drawn from a generator seeded once from
// the system: QUuid::createUuid() asks the processor for new random bits for every file,
// which takes a tenth of a big scan on some machines. Ids only need to differ from each
// other, which this does as well.
QUuid newFileId()
{
    static std::mt19937_64 generator = [] {
        std::seed_seq seed{
            QRandomGenerator::system()->generate(), QRandomGenerator::system()->generate(),
            QRandomGenerator::system()->generate(), QRandomGenerator::system()->generate()};
        return std::mt19937_64(seed);
    }();
    const quint64 high = (generator() & ~quint64(0xf000)) | 0x4000;                   // version 4
    const quint64 low = (generator() & ~(quint64(0xc) << 60)) | (quint64(0x8) << 60); // RFC 4122
    return QUuid(uint(high >> 32), ushort(high >> 16), ushort(high), uchar(low >> 56),
                 uchar(low >> 48), uchar(low >> 40), uchar(low >> 32), uchar(low >> 24),
                 uchar(low >> 16), uchar(low >> 8), uchar(low));
}

} // namespace

void AppState::scanFolders()
{
    // The list that follows a decision must reflect it: the scan runs once it is done.
    if (m_busy > 0) {
        m_scanDeferred = true;
        return;
    }
    m_scanDeferred = false;
    // Views redraw from the finished list: one announcement at the end, not one per folder,
    // and isScanning() tells them to let the emptied list pass.
    m_scanning = true;
    setFiles({});
    setCurrentIndex(0);

    // A standard folder the desktop sets to the home folder is none: nothing to scan.
    const QString desktop = UserFolders::desktop();
    const QString downloads = UserFolders::downloads();
    QStringList folders;
    if (m_includeDesktop && !desktop.isEmpty())
        folders.append(desktop);
    if (m_includeDownloads && !downloads.isEmpty())
        folders.append(downloads);
    // The standard folders may sit in the stored list too; their switches alone decide.
    for (const QUrl &folder : m_folderAccessService.loadFolders()) {
        const QString path = folder.toLocalFile();
        if (!UserFolders::isStandardFolder(path))
            folders.append(path);
    }
    // One folder named twice (Downloads set to the Desktop, a custom folder that is one of
    // them by another name) is scanned once, so each file is listed once.
    folders.removeDuplicates();

    // Every folder is listed at the same time, off this thread; the wait for all of them
    // together is bounded, so a drive that does not answer cannot hold the scan.
    const QList<std::optional<FolderListing>> listings = m_folderLister->list(folders);
    QList<FileIdentity> scanned;
    for (qsizetype i = 0; i < folders.size(); ++i) {
        const std::optional<FolderListing> &listing = listings.at(i);
        if (listing && listing->folder.isKnown()) {
            if (scanned.contains(listing->folder))
                continue;
            scanned.append(listing->folder);
        }
        addListing(folders.at(i), listing);
    }

    Console::writeLine(u"Total files: "_s + QString::number(m_files.size()));
    m_scanning = false;
    announceFiles();
    // The file an undo put back comes back as the current one, though it may not be newest.
    if (!m_currentAfterScan.isEmpty()) {
        const qsizetype restored = indexOfPath(std::exchange(m_currentAfterScan, QString()));
        if (restored > 0)
            setCurrentIndex(restored);
    }
}

void AppState::scanFolder(const QString &folderPath)
{
    addListing(folderPath, m_folderLister->list({folderPath}).constFirst());
}

void AppState::addListing(const QString &folderPath, const std::optional<FolderListing> &listing)
{
    Console::writeLine(u"Scanning: "_s + folderPath);
    if (!listing) {
        Console::writeLine(u"Error scanning "_s + folderPath + u": the folder does not respond"_s);
        return;
    }
    if (!listing->ok) {
        Console::writeLine(u"Error scanning "_s + folderPath + u": "_s + listing->error);
        return;
    }
    Console::writeLine(u"Found "_s + QString::number(listing->entries.size()) + u" items"_s);

    const qsizetype before = m_files.size();
    m_files.reserve(before + listing->entries.size());
    const QDateTime listed = QDateTime::currentDateTimeUtc();
    // Views into the listed paths, so a big folder costs no copy of each name.
    QHash<QStringView, QString> types;
    for (const FolderEntry &entry : listing->entries) {
        const QStringView path(entry.path);
        const QStringView name = path.sliced(path.lastIndexOf(u'/') + 1);
        if (name.startsWith(u'.') || entry.isDirectory || !entry.exists)
            continue;
        const qsizetype dot = name.lastIndexOf(u'.');
        const QStringView extension = dot <= 0 ? QStringView() : name.sliced(dot + 1);
        auto type = types.constFind(extension);
        if (type == types.cend())
            type = types.insert(extension, FileTypes::typeForExtension(extension.toString()));
        m_files.append(TrackedFile{newFileId(), entry.path, listed, entry.size, *type,
                                   entry.identity, entry.modifiedNs});
    }
    // Each folder comes ordered; merging keeps the list newest first, and on equal times
    // the earlier folder's files first.
    std::inplace_merge(
        m_files.begin(), m_files.begin() + before, m_files.end(),
        [](const TrackedFile &a, const TrackedFile &b) { return a.modifiedNs > b.modifiedNs; });
    if (m_files.size() != before && !m_scanning)
        announceFiles();
}
