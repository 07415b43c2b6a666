// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchivePreview.h"

#include "SizeText.h"

#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

using namespace Qt::StringLiterals;
using Problem = ArchiveListing::Problem;

namespace {

enum Column { PathColumn, SizeColumn };

} // namespace

ArchivePreview::ArchivePreview(const ArchiveListing &listing, QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);

    const QLocale locale;
    const QString count = locale.toString(listing.entryCount);
    const QString size = SizeText::format(listing.totalSize);
    const QString header = listing.problem == Problem::None
                               ? tr("Entries: %1, unpacked: %2").arg(count, size)
                               : tr("Entries read: %1, unpacked: %2").arg(count, size);
    m_header = new QLabel(header, this);
    m_header->setTextFormat(Qt::PlainText);
    QFont bold = m_header->font();
    bold.setBold(true);
    m_header->setFont(bold);
    layout->addWidget(m_header);

    QStringList notes;
    if (listing.isDebianPackage)
        notes.append(tr("Files this package installs."));
    if (listing.encrypted)
        notes.append(tr("Encrypted: the contents need a password."));
    if (listing.problem != Problem::None)
        notes.append(problemText(listing.problem));
    m_note = new QLabel(notes.join(u'\n'), this);
    m_note->setTextFormat(Qt::PlainText);
    m_note->setWordWrap(true);
    m_note->setForegroundRole(QPalette::PlaceholderText);
    m_note->setToolTip(listing.detail);
    m_note->setVisible(!notes.isEmpty());
    layout->addWidget(m_note);

    m_rows = new QTreeWidget(this);
    m_rows->setAccessibleName(tr("Archive contents"));
    m_rows->setColumnCount(2);
    m_rows->setHeaderHidden(true);
    m_rows->setRootIsDecorated(false);
    m_rows->setUniformRowHeights(true);
    m_rows->setSelectionMode(QAbstractItemView::NoSelection);
    m_rows->setFocusPolicy(Qt::NoFocus);
    m_rows->setTextElideMode(Qt::ElideMiddle);
    m_rows->header()->setStretchLastSection(false);
    m_rows->header()->setSectionResizeMode(PathColumn, QHeaderView::Stretch);
    m_rows->header()->setSectionResizeMode(SizeColumn, QHeaderView::ResizeToContents);
    QList<QTreeWidgetItem *> items;
    items.reserve(listing.entries.size() + 1);
    for (const ArchiveEntry &entry : listing.entries) {
        auto *item = new QTreeWidgetItem;
        item->setText(PathColumn, entry.path);
        item->setToolTip(PathColumn, entry.path);
        if (!entry.isDirectory)
            item->setText(SizeColumn, SizeText::format(entry.size));
        item->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
        items.append(item);
    }
    if (listing.unlistedCount() > 0) {
        auto *more = new QTreeWidgetItem;
        // At most the counting limit, well within an int.
        more->setText(PathColumn, tr("and %Ln more", nullptr,
                                     int(std::min<qint64>(listing.unlistedCount(), INT_MAX))));
        QFont italic = m_rows->font();
        italic.setItalic(true);
        more->setFont(PathColumn, italic);
        more->setForeground(PathColumn, palette().brush(QPalette::PlaceholderText));
        items.append(more);
    }
    m_rows->addTopLevelItems(items);
    m_rows->setVisible(!items.isEmpty());
    layout->addWidget(m_rows, 1);
    if (items.isEmpty())
        layout->addStretch(1);
}

QString ArchivePreview::problemText(Problem problem)
{
    switch (problem) {
    case Problem::None:
        return QString();
    case Problem::NotAFile:
        return tr("This is not a regular file.");
    case Problem::UnknownFormat:
        return tr("This is not an archive Mirel can read.");
    case Problem::Damaged:
        return tr("The archive is damaged or incomplete; it cannot be read to the end.");
    case Problem::EncryptedIndex:
        return tr("Even the list of files in this archive is encrypted.");
    case Problem::Unfinished:
        return tr("The archive is too large to count every entry.");
    case Problem::ReadError:
        return tr("The file could not be read.");
    }
    return QString();
}

QString ArchivePreview::headerText() const
{
    return m_header->text();
}

QString ArchivePreview::noteText() const
{
    return m_note->text();
}

int ArchivePreview::rowCount() const
{
    return m_rows->topLevelItemCount();
}

QString ArchivePreview::pathAt(int row) const
{
    const QTreeWidgetItem *item = m_rows->topLevelItem(row);
    return item ? item->text(PathColumn) : QString();
}

QString ArchivePreview::sizeAt(int row) const
{
    const QTreeWidgetItem *item = m_rows->topLevelItem(row);
    return item ? item->text(SizeColumn) : QString();
}
