// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ArchiveListing.h"

#include <QWidget>

class QLabel;
class QTreeWidget;

// What is inside an archive, as the preview process listed it: a header with the number of
// entries and their unpacked size, a note when it is encrypted or could not be read to the
// end, and one row per listed entry (path and size), then how many more there are.
class ArchivePreview final : public QWidget
{
    Q_OBJECT

public:
    explicit ArchivePreview(const ArchiveListing &listing, QWidget *parent = nullptr);

    // Why an archive shows no list: the plain words for what went wrong, empty when nothing did.
    static QString problemText(ArchiveListing::Problem problem);

    QString headerText() const;
    QString noteText() const; // empty when there is nothing to note
    int rowCount() const;
    QString pathAt(int row) const;
    QString sizeAt(int row) const;

private:
    QLabel *m_header = nullptr;
    QLabel *m_note = nullptr;
    QTreeWidget *m_rows = nullptr;
};
