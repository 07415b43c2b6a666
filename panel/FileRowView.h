// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TrackedFile.h"

#include <QWidget>

class ElidedLabel;
class FileThumbnailView;
class QLabel;
class QMenu;
class QVariantAnimation;

// One entry of the panel's file list: thumbnail, name, size and the folder badge, on the
// accent tint when it is the current file. The whole row is one click target.
class FileRowView final : public QWidget
{
    Q_OBJECT

public:
    FileRowView(const TrackedFile &file, bool isSelected, QWidget *parent = nullptr);

    static constexpr int rowHeight = 44;
    static constexpr int maxBadgeWidth = 110;

    const TrackedFile &file() const { return m_file; }
    bool isSelected() const { return m_isSelected; }
    // Fades the tint in or out over 0.2 s.
    void setSelected(bool selected);
    // The tint's strength now, 0 to 1.
    qreal selectionLevel() const { return m_selectionLevel; }
    FileThumbnailView *thumbnailView() const { return m_thumbnail; }
    QString nameText() const;
    QString sizeText() const;
    QString badgeText() const;

    // Opens Open, Show in Folder and Copy Path for this file at globalPosition; the row stays
    // highlighted while the menu is open.
    QMenu *showContextMenu(const QPoint &globalPosition);
    bool isMenuOpen() const { return m_menuOpen; }

signals:
    void clicked();
    // "Open" found no application for the file; `reason` says so in words.
    void openFailed(const QString &reason);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    TrackedFile m_file;
    bool m_isSelected;
    qreal m_selectionLevel;
    bool m_pressed = false;
    bool m_menuOpen = false;
    FileThumbnailView *m_thumbnail;
    ElidedLabel *m_name;
    QLabel *m_size;
    QLabel *m_badge;
    QVariantAnimation *m_fade;
};
