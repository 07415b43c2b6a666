// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractScrollArea>
#include <QHash>
#include <QUuid>

class AppState;
class FileRowView;
class QMenu;
class QVariantAnimation;

// The panel's scrolling list of every file under review. Only the rows on screen exist as
// widgets, so a list of 100,000 files costs what a list of 20 does. When the current file
// changes, its row glides to the centre on a spring of response 0.3 s.
class FileListView final : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit FileListView(AppState &appState, QWidget *parent = nullptr);

    static constexpr int rowSpacing = 2;
    static constexpr int verticalPadding = 4;

    // The row widgets that exist now, top to bottom.
    QList<FileRowView *> visibleRows() const;
    FileRowView *rowAt(qsizetype index) const;
    // How many files the list holds, also those without a row now.
    int itemCount() const;
    // Where the list rests once a running scroll animation ends.
    int targetScrollPosition() const;
    bool isScrolling() const;
    // The context menu of the current file's row, as the Menu key and Shift+F10 open it;
    // nothing when no row is current.
    QMenu *openContextMenu();
    // The ring drawn around the list while it has the keyboard focus.
    QWidget *focusRing() const { return m_focusRing; }

signals:
    void rowClicked(qsizetype index);
    void openFailed(const QString &reason);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    // Up and Down move the current file, as a click on the row above or below would.
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void filesReset();
    void currentIndexChanged();
    void updateScrollRange();
    void layoutRows();
    int rowTop(qsizetype index) const;

    AppState &m_appState;
    QHash<QUuid, FileRowView *> m_rows;
    qsizetype m_lastIndex;
    int m_scrollTarget = 0;
    QVariantAnimation *m_scroll;
    QWidget *m_focusRing;
};
