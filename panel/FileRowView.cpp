// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileRowView.h"

#include "ElidedLabel.h"
#include "FileActions.h"
#include "FileNames.h"
#include "FileThumbnailView.h"
#include "SizeText.h"
#include "TextStyles.h"

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>

using namespace Qt::StringLiterals;

namespace {

// The height one line of text really needs: capitals with marks above ("\u00c4rger") and
// descenders reach beyond the font's ascent and descent, and would be cut at the label's
// edge. One pixel of air on each side, and the text stays centred.
int lineHeight(const QFontMetrics &metrics)
{
    const QRect ink = metrics.tightBoundingRect(u"\u00c5\u00c4\u00c9\u00dcgjpqy"_s);
    const int above = std::max(0, -ink.top() - metrics.ascent());
    const int below = std::max(0, ink.bottom() + 1 - metrics.descent());
    return std::max(metrics.lineSpacing(), metrics.height()) + 2 * (std::max(above, below) + 1);
}

} // namespace

FileRowView::FileRowView(const TrackedFile &file, bool isSelected, QWidget *parent)
    : QWidget(parent)
    , m_file(file)
    , m_isSelected(isSelected)
    , m_selectionLevel(isSelected ? 1.0 : 0.0)
    , m_thumbnail(new FileThumbnailView(QUrl::fromLocalFile(file.filePath), this))
    , m_name(new ElidedLabel(this))
    , m_size(new QLabel(this))
    , m_badge(new QLabel(this))
    , m_fade(new QVariantAnimation(this))
{
    setFixedHeight(rowHeight);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(FileNames::displayName(file.filePath));

    m_thumbnail->setFixedSize(32, 32);
    m_thumbnail->setCornerRadius(4);

    m_name->setFont(TextStyles::caption());
    m_name->setText(FileNames::displayName(file.filePath));
    m_name->setFixedHeight(lineHeight(m_name->fontMetrics()));
    m_size->setFont(TextStyles::caption2());
    m_size->setText(SizeText::format(file.fileSize));
    m_size->setFixedHeight(lineHeight(m_size->fontMetrics()));
    QPalette sizePalette = m_size->palette();
    sizePalette.setColor(QPalette::WindowText, TextStyles::secondary(palette()));
    m_size->setPalette(sizePalette);

    m_badge->setFont(TextStyles::caption2());
    // A long custom-folder name must leave the file name most of the row: the badge is capped
    // and elided at its end, the whole name in its tooltip.
    m_badge->setContentsMargins(6, 2, 6, 2);
    m_badge->setMaximumWidth(maxBadgeWidth);
    const QString folderName = file.sourceFolderName();
    const QString shownFolder =
        m_badge->fontMetrics().elidedText(folderName, Qt::ElideRight, maxBadgeWidth - 12);
    m_badge->setText(shownFolder);
    if (shownFolder != folderName)
        m_badge->setToolTip(folderName);
    m_badge->setAlignment(Qt::AlignCenter);
    QColor badgeBack = TextStyles::secondary(palette());
    badgeBack.setAlphaF(0.2);
    m_badge->setStyleSheet(u"QLabel { background: %1; border-radius: %2px; }"_s.arg(
        badgeBack.name(QColor::HexArgb),
        QString::number((m_badge->fontMetrics().height() + 4) / 2)));

    auto *text = new QVBoxLayout;
    text->setSpacing(1);
    text->setContentsMargins(0, 0, 0, 0);
    text->addStretch();
    text->addWidget(m_name);
    text->addWidget(m_size);
    text->addStretch();

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 6, 12, 6);
    row->setSpacing(8);
    row->addWidget(m_thumbnail, 0, Qt::AlignVCenter);
    row->addLayout(text, 1);
    row->addWidget(m_badge, 0, Qt::AlignVCenter);

    m_fade->setDuration(200);
    m_fade->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_selectionLevel = value.toReal();
        update();
    });
}

QString FileRowView::nameText() const
{
    return m_name->text();
}

QString FileRowView::sizeText() const
{
    return m_size->text();
}

QString FileRowView::badgeText() const
{
    return m_badge->text();
}

void FileRowView::setSelected(bool selected)
{
    if (selected == m_isSelected)
        return;
    m_isSelected = selected;
    m_fade->stop();
    m_fade->setStartValue(m_selectionLevel);
    m_fade->setEndValue(selected ? 1.0 : 0.0);
    m_fade->start();
}

void FileRowView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_selectionLevel > 0.0) {
        QColor tint = TextStyles::accent(palette());
        tint.setAlphaF(0.2 * m_selectionLevel);
        painter.fillRect(rect(), tint);
    }
    // The row a context menu acts on, outlined as desktop lists do.
    if (m_menuOpen) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(TextStyles::accent(palette()), 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
    }
}

void FileRowView::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
}

void FileRowView::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click)
        emit clicked();
}

void FileRowView::contextMenuEvent(QContextMenuEvent *event)
{
    showContextMenu(event->globalPos());
}

QMenu *FileRowView::showContextMenu(const QPoint &globalPosition)
{
    m_menuOpen = true;
    update();
    auto failed = [this](const QString &reason) {
        emit openFailed(reason);
    };
    QMenu *menu = FileActions::popUpMenu(m_file.filePath, globalPosition, this, failed);
    connect(menu, &QMenu::aboutToHide, this, [this] {
        m_menuOpen = false;
        update();
    });
    return menu;
}
