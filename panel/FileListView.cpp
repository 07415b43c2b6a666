// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileListView.h"

#include "AppState.h"
#include "FileListAccessible.h"
#include "FileRowView.h"
#include "Spring.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QVariantAnimation>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int rowStride = FileRowView::rowHeight + FileListView::rowSpacing;

// Drawn over the rows, so the current row's tint cannot hide it.
class FocusRing final : public QWidget
{
public:
    explicit FocusRing(QWidget *parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    }
};

} // namespace

FileListView::FileListView(AppState &appState, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_appState(appState)
    , m_lastIndex(appState.currentIndex())
    , m_scroll(new QVariantAnimation(this))
    , m_focusRing(new FocusRing(this))
{
    static const bool accessible = [] {
        QAccessible::installFactory(&FileListAccessible::create);
        return true;
    }();
    Q_UNUSED(accessible)
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(tr("Files"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(rowStride / 2);
    // A thin bar without arrow buttons, as the panel's own, whatever the desktop's style.
    QColor handle = palette().color(QPalette::WindowText);
    handle.setAlphaF(0.3);
    QColor pressed = handle;
    pressed.setAlphaF(0.5);
    verticalScrollBar()->setStyleSheet(
        u"QScrollBar:vertical { width: 6px; margin: 2px 0; background: transparent; border: none; }"
        " QScrollBar::handle:vertical { background: %1; border-radius: 3px; min-height: 24px; }"
        " QScrollBar::handle:vertical:hover, QScrollBar::handle:vertical:pressed { background: %2; "
        "}"
        " QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; border: none; }"
        " QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"_s.arg(
            handle.name(QColor::HexArgb), pressed.name(QColor::HexArgb)));

    m_scroll->setEasingCurve(Spring::easingCurve());
    m_scroll->setDuration(Spring::durationMs(0.3));
    connect(m_scroll, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { verticalScrollBar()->setValue(value.toInt()); });

    connect(&m_appState, &AppState::filesChanged, this, &FileListView::filesReset);
    connect(&m_appState, &AppState::currentIndexChanged, this, &FileListView::currentIndexChanged);
    filesReset();
}

int FileListView::rowTop(qsizetype index) const
{
    return verticalPadding + int(index) * rowStride;
}

QList<FileRowView *> FileListView::visibleRows() const
{
    QList<FileRowView *> rows = m_rows.values();
    std::sort(rows.begin(), rows.end(),
              [](const FileRowView *a, const FileRowView *b) { return a->y() < b->y(); });
    return rows;
}

int FileListView::itemCount() const
{
    return int(m_appState.files().size());
}

FileRowView *FileListView::rowAt(qsizetype index) const
{
    const QList<TrackedFile> &files = m_appState.files();
    if (index < 0 || index >= files.size())
        return nullptr;
    return m_rows.value(files.at(index).id);
}

int FileListView::targetScrollPosition() const
{
    return isScrolling() ? m_scrollTarget : verticalScrollBar()->value();
}

bool FileListView::isScrolling() const
{
    return m_scroll->state() == QAbstractAnimation::Running;
}

void FileListView::filesReset()
{
    if (m_appState.isScanning())
        return;
    updateScrollRange();
    // A rescan puts the position back on the first file: follow it like any other move.
    currentIndexChanged();
}

void FileListView::currentIndexChanged()
{
    if (m_appState.isScanning())
        return;
    const qsizetype index = m_appState.currentIndex();
    layoutRows();
    // Only a real change of position moves the list, not a repeated assignment.
    if (index == m_lastIndex)
        return;
    m_lastIndex = index;
    if (index < 0 || index >= m_appState.files().size())
        return;
    const int centred = rowTop(index) + FileRowView::rowHeight / 2 - viewport()->height() / 2;
    m_scrollTarget = std::clamp(centred, 0, verticalScrollBar()->maximum());
    m_scroll->stop();
    m_scroll->setStartValue(verticalScrollBar()->value());
    m_scroll->setEndValue(m_scrollTarget);
    m_scroll->start();
}

void FileListView::updateScrollRange()
{
    const qsizetype count = m_appState.files().size();
    const int content = count == 0 ? 0 : rowTop(count) - rowSpacing + verticalPadding;
    verticalScrollBar()->setRange(0, std::max(0, content - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
}

void FileListView::layoutRows()
{
    const QList<TrackedFile> &files = m_appState.files();
    const int top = verticalScrollBar()->value();
    const int height = viewport()->height();
    const qsizetype first = std::max<qsizetype>(0, (top - verticalPadding) / rowStride);
    const qsizetype last =
        std::min<qsizetype>(files.size() - 1, (top + height - verticalPadding) / rowStride);

    QHash<QUuid, FileRowView *> kept;
    for (qsizetype index = first; index <= last; ++index) {
        const TrackedFile &file = files.at(index);
        FileRowView *row = m_rows.take(file.id);
        const bool selected = index == m_appState.currentIndex();
        if (!row) {
            row = new FileRowView(file, selected, viewport());
            connect(row, &FileRowView::clicked, this,
                    [this, row] { emit rowClicked(m_appState.files().indexOf(row->file())); });
            connect(row, &FileRowView::openFailed, this, &FileListView::openFailed);
        } else {
            row->setSelected(selected);
        }
        row->setGeometry(0, rowTop(index) - top, viewport()->width(), FileRowView::rowHeight);
        row->show();
        kept.insert(file.id, row);
    }
    // Rows that left the screen, or whose files left the list.
    for (FileRowView *gone : std::as_const(m_rows)) {
        gone->hide();
        gone->deleteLater();
    }
    m_rows = std::move(kept);
}

void FileListView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_focusRing->setGeometry(rect());
    updateScrollRange();
    layoutRows();
}

void FileListView::scrollContentsBy(int, int)
{
    layoutRows();
}

void FileListView::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((key == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
        (key == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        openContextMenu();
        event->accept();
        return;
    }
    if ((key != Qt::Key_Up && key != Qt::Key_Down) ||
        (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const qsizetype next = m_appState.currentIndex() + (key == Qt::Key_Up ? -1 : 1);
    if (next >= 0 && next < m_appState.files().size())
        emit rowClicked(next);
    event->accept();
}

void FileListView::contextMenuEvent(QContextMenuEvent *event)
{
    // A menu asked for from the keyboard acts on the current file; the mouse's goes to the
    // row under it.
    if (event->reason() == QContextMenuEvent::Keyboard)
        openContextMenu();
    else
        QAbstractScrollArea::contextMenuEvent(event);
}

QMenu *FileListView::openContextMenu()
{
    const qsizetype index = m_appState.currentIndex();
    if (index < 0 || index >= m_appState.files().size())
        return nullptr;
    // The current row glides to the middle, so it exists; the menu opens at its name.
    FileRowView *row = rowAt(index);
    if (!row)
        return nullptr;
    return row->showContextMenu(row->mapToGlobal(QPoint(row->width() / 3, row->height() / 2)));
}

void FileListView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    m_focusRing->show();
    m_focusRing->raise();
}

void FileListView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    m_focusRing->hide();
}
