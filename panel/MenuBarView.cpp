// SPDX-License-Identifier: GPL-3.0-or-later
#include "MenuBarView.h"

#include "AppState.h"
#include "CountLabel.h"
#include "ElidedLabel.h"
#include "FileListView.h"
#include "FileNames.h"
#include "FinishedView.h"
#include "MirelIcons.h"
#include "PreviewCard.h"
#include "ScaleFadeIn.h"
#include "SizeText.h"
#include "TextStyles.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtMath>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int finishedTransitionMs = 250;

QFrame *divider(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QPalette palette = line->palette();
    palette.setColor(QPalette::WindowText, TextStyles::secondary(palette).lighter(120));
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.25);
    palette.setColor(QPalette::WindowText, color);
    line->setPalette(palette);
    return line;
}

// The symbol cut to its ink, with the same gap after it for every symbol: the artwork of some
// symbols fills its square and of others not, which would put the text at different distances.
void setTrimmedIcon(QPushButton *button, const QString &symbol, const QColor &color)
{
    constexpr int side = 16;
    constexpr int gap = 5;
    const qreal ratio = qApp->devicePixelRatio();
    QImage ink = MirelIcons::pixmap(symbol, side, color, ratio).toImage();
    ink.setDevicePixelRatio(1); // worked on in device pixels
    int left = ink.width();
    int right = -1;
    for (int y = 0; y < ink.height(); ++y) {
        for (int x = 0; x < ink.width(); ++x) {
            if (qAlpha(ink.pixel(x, y)) > 0) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    if (right < left) {
        button->setIcon(MirelIcons::icon(symbol, color));
        return;
    }
    // Whole logical pixels wide, the slack before the ink, so the gap after it is exact.
    const int inkWidth = right - left + 1;
    const int width = qCeil(inkWidth / ratio) + gap;
    QPixmap trimmed(qRound(width * ratio), ink.height());
    trimmed.fill(Qt::transparent);
    QPainter painter(&trimmed);
    painter.drawImage(QPoint(trimmed.width() - qRound(gap * ratio) - inkWidth - left, 0), ink);
    painter.end();
    trimmed.setDevicePixelRatio(ratio);
    button->setIcon(QIcon(trimmed));
    button->setIconSize(QSize(width, side));
}

// A filled button in the given colour with white text and icon. Like the rest of the panel
// it has no hover effect; the keyboard focus shows as a white ring inside the fill.
QPushButton *decisionButton(const QString &title, const QString &symbol, const QColor &color,
                            QWidget *parent)
{
    auto *button = new QPushButton(title, parent);
    setTrimmedIcon(button, symbol, Qt::white);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QColor disabled = color;
    disabled.setAlphaF(0.45);
    button->setStyleSheet(
        u"QPushButton { background: %1; color: white; border: 2px solid %1; border-radius: 6px;"
        u" padding: 4px 8px; font-weight: 600; }"
        u"QPushButton:focus { border-color: white; }"
        u"QPushButton:pressed { background: %2; border-color: %2; }"
        u"QPushButton:disabled, QPushButton[busy=\"true\"] { background: %3;"
        u" border-color: transparent; color: rgba(255, 255, 255, 170); }"
        u"QPushButton[busy=\"true\"]:focus { border-color: white; }"_s.arg(
            color.name(), color.darker(115).name(), disabled.name(QColor::HexArgb)));
    return button;
}

QToolButton *footerButton(const QString &symbol, const QString &name, const QColor &color,
                          QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setIcon(MirelIcons::icon(symbol, color));
    button->setIconSize(QSize(16, 16));
    // Plain: no raised panel under the pointer, only a ring for the keyboard focus.
    button->setStyleSheet(
        u"QToolButton { border: 2px solid transparent; border-radius: 4px; background: none;"
        u" padding: 1px; }"
        u"QToolButton:focus { border-color: %1; }"_s.arg(
            parent->palette().color(QPalette::Highlight).name()));
    button->setAccessibleName(name);
    button->setToolTip(QString());
    return button;
}

} // namespace

MenuBarView::MenuBarView(AppState &appState, QWidget *parent)
    : QWidget(parent)
    , m_appState(appState)
{
    setFixedSize(320, 480);
    setWindowTitle(tr("Mirel"));

    m_body = new QStackedWidget(this);
    m_review = makeReviewSection();
    m_finished = new FinishedView(m_body);
    connect(m_finished, &FinishedView::scanAgainRequested, this, &MenuBarView::rescan);
    pressOnEnter(m_finished->scanAgainButton());
    m_body->addWidget(m_review);
    m_body->addWidget(m_finished);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(makeHeader());
    layout->addWidget(divider(this));
    layout->addWidget(m_body, 1);
    layout->addWidget(makeFooter());

    // Keyboard order: the list first, so the panel never opens with a decision in focus.
    setTabOrder(m_list, m_delete);
    setTabOrder(m_delete, m_keep);
    setTabOrder(m_keep, m_finished->scanAgainButton());
    setTabOrder(m_finished->scanAgainButton(), m_settings);
    setTabOrder(m_settings, m_refresh);
    setTabOrder(m_refresh, m_quit);

    connect(&m_appState, &AppState::filesChanged, this, &MenuBarView::refresh);
    connect(&m_appState, &AppState::currentIndexChanged, this, &MenuBarView::refresh);
    connect(&m_appState, &AppState::decisionChecked, this, &MenuBarView::decisionChecked);
    connect(&m_appState, &AppState::decisionProgress, this, &MenuBarView::decisionProgress);
    connect(&m_appState, &AppState::decisionFinished, this, &MenuBarView::decisionFinished);
    m_progressDelay = new QTimer(this);
    m_progressDelay->setSingleShot(true);
    m_progressDelay->setInterval(progressDelayMs);
    connect(m_progressDelay, &QTimer::timeout, this, [this] {
        m_progressDue = true;
        if (m_progressTotal > 0)
            m_card->showProgress(m_progressDone, m_progressTotal);
    });
    refresh();
}

void MenuBarView::pressOnEnter(QAbstractButton *button)
{
    button->installEventFilter(this);
}

bool MenuBarView::eventFilter(QObject *watched, QEvent *event)
{
    // Enter presses the focused button, as in dialogs.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        auto *button = qobject_cast<QAbstractButton *>(watched);
        if (button && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            if (button->isEnabled())
                button->click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QWidget *MenuBarView::makeHeader()
{
    auto *header = new QWidget(this);
    auto *icon = new QLabel(header);
    icon->setFixedSize(18, 18);
    icon->setPixmap(MirelIcons::pixmap(u"MenuBarIcon"_s, 18, palette().color(QPalette::WindowText),
                                       devicePixelRatioF()));
    auto *title = new QLabel(tr("Mirel"), header);
    title->setFont(TextStyles::headline());
    m_count = new CountLabel(header);

    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(12, 12, 12, 8);
    row->addWidget(icon);
    row->addWidget(title);
    row->addStretch();
    row->addWidget(m_count);
    return header;
}

QWidget *MenuBarView::makeReviewSection()
{
    auto *section = new QWidget(m_body);
    m_currentBlock = new QWidget(section);
    m_card = new PreviewCard(m_currentBlock);
    connect(m_card, &PreviewCard::openFailed, this, &MenuBarView::showFailure);
    m_name = new ElidedLabel(m_currentBlock);
    m_name->setAlignment(Qt::AlignCenter);
    QFont nameFont = TextStyles::subheadline();
    nameFont.setWeight(QFont::Medium);
    m_name->setFont(nameFont);
    m_details = new QLabel(m_currentBlock);
    m_details->setFont(TextStyles::caption());
    m_details->setAlignment(Qt::AlignCenter);
    QPalette secondary = m_details->palette();
    secondary.setColor(QPalette::WindowText, TextStyles::secondary(palette()));
    m_details->setPalette(secondary);
    m_failure = new ElidedLabel(m_currentBlock);
    m_failure->setFont(TextStyles::caption());
    m_failure->setAlignment(Qt::AlignCenter);
    // Cut at the end: the start names the file, then why; a long name never hides the verb.
    m_failure->setElideMode(Qt::ElideRight);
    m_failure->hide();

    m_delete = decisionButton(tr("Delete"), u"trash"_s, TextStyles::red(), m_currentBlock);
    m_keep = decisionButton(tr("Keep"), u"folder.badge.plus"_s, TextStyles::accent(palette()),
                            m_currentBlock);
    connect(m_delete, &QPushButton::clicked, this,
            [this] { performWithFeedback(Decision::Delete); });
    connect(m_keep, &QPushButton::clicked, this, [this] { performWithFeedback(Decision::Keep); });
    pressOnEnter(m_delete);
    pressOnEnter(m_keep);

    auto *cardBox = new QHBoxLayout;
    cardBox->setContentsMargins(12, 8, 12, 0);
    cardBox->addWidget(m_card);
    auto *details = new QVBoxLayout;
    details->setSpacing(2);
    details->setContentsMargins(12, 0, 12, 0);
    details->addWidget(m_name);
    details->addWidget(m_details);
    details->addWidget(m_failure);
    auto *actions = new QHBoxLayout;
    actions->setSpacing(12);
    actions->setContentsMargins(12, 0, 12, 8);
    actions->addWidget(m_delete, 1);
    actions->addWidget(m_keep, 1);

    auto *block = new QVBoxLayout(m_currentBlock);
    block->setSpacing(8);
    block->setContentsMargins(0, 0, 0, 0);
    block->addLayout(cardBox);
    block->addLayout(details);
    block->addLayout(actions);

    m_list = new FileListView(m_appState, section);
    m_list->setFixedHeight(120);
    connect(m_list, &FileListView::rowClicked, this, &MenuBarView::selectRow);
    connect(m_list, &FileListView::openFailed, this, &MenuBarView::showFailure);

    auto *layout = new QVBoxLayout(section);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_currentBlock);
    layout->addWidget(divider(section));
    layout->addWidget(m_list);
    layout->addWidget(divider(section));
    // Height the panel does not need stays below the list, which stays under the file.
    layout->addStretch();
    return section;
}

QWidget *MenuBarView::makeFooter()
{
    auto *footer = new QWidget(this);
    const QColor secondary = TextStyles::secondary(palette());
    m_settings =
        footerButton(u"gear"_s, tr("Settings"), palette().color(QPalette::WindowText), footer);
    m_refresh = footerButton(u"arrow.clockwise"_s, tr("Refresh"), secondary, footer);
    m_quit = footerButton(u"power"_s, tr("Quit"), secondary, footer);
    connect(m_settings, &QToolButton::clicked, this, &MenuBarView::settingsRequested);
    connect(m_refresh, &QToolButton::clicked, this, &MenuBarView::rescan);
    connect(m_quit, &QToolButton::clicked, this, [] { QCoreApplication::quit(); });
    for (QAbstractButton *button : {m_settings, m_refresh, m_quit})
        pressOnEnter(button);

    auto *row = new QHBoxLayout(footer);
    m_footerRow = row;
    row->setContentsMargins(12, 12, 12, 12);
    row->addWidget(m_settings);
    row->addStretch();
    row->addWidget(m_refresh);
    row->addStretch();
    row->addWidget(m_quit);
    return footer;
}

void MenuBarView::addToFooter(QWidget *widget)
{
    widget->setParent(m_footerRow->parentWidget());
    m_footerRow->insertWidget(1, widget);
    setTabOrder(m_settings, widget);
}

void MenuBarView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        emit dismissRequested();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool MenuBarView::isShowingFinishedState() const
{
    return m_body->currentWidget() == m_finished;
}

void MenuBarView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    rescan();
    if (!isShowingFinishedState())
        m_list->setFocus(Qt::ActiveWindowFocusReason);
}

void MenuBarView::refresh()
{
    // A scan empties the list before filling it again; only its result is worth drawing.
    if (m_appState.isScanning())
        return;
    m_count->setCount(m_appState.files().size());

    showBody(m_appState.files().isEmpty());

    const std::optional<TrackedFile> file = m_appState.currentFile();
    m_currentBlock->setVisible(file.has_value());
    m_card->setFile(file);
    if (file) {
        m_name->setText(FileNames::displayName(file->filePath));
        m_details->setText(
            tr("%1 \u2022 %2").arg(file->sourceFolderName(), SizeText::format(file->fileSize)));
    }
    // A failure's reason belongs to its file (its path and identity): another file shows its
    // details. A scan asked for before the failure was known, which ran after it, finds the
    // same file and leaves the warning; a scan asked for later has cleared it already.
    if (!file || !m_failedFile || file->filePath != m_failedFile->filePath ||
        file->identity.inode != m_failedFile->identity.inode ||
        file->identity.device != m_failedFile->identity.device)
        clearWarning();
    const bool failed = m_failedFile.has_value();
    m_failure->setVisible(failed);
    m_details->setVisible(!failed);
}

void MenuBarView::showBody(bool finished)
{
    if (finished == isShowingFinishedState())
        return;
    const QPixmap leaving = finished || !m_finished->isVisible() ? QPixmap() : m_finished->grab();
    const bool focusInBody = !focusWidget() || m_body->isAncestorOf(focusWidget());
    m_body->setCurrentWidget(finished ? static_cast<QWidget *>(m_finished) : m_review);
    if (finished) {
        ScaleFadeIn::play(m_finished, finishedTransitionMs);
        // The focus on a decision that just went stays in the body, never on the gear.
        if (focusInBody)
            m_finished->scanAgainButton()->setFocus(Qt::OtherFocusReason);
        return;
    }
    ScaleFadeIn::playOut(m_body, leaving, finishedTransitionMs);
    if (focusInBody)
        m_list->setFocus(Qt::OtherFocusReason);
}

void MenuBarView::selectRow(qsizetype index)
{
    if (index >= 0 && index < m_appState.files().size())
        m_appState.setCurrentIndex(index);
}

void MenuBarView::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    // A frameless panel gets no edge from the window manager; without one it dissolves into a
    // desktop of the same colour.
    if (!isWindow() || !windowFlags().testFlag(Qt::FramelessWindowHint))
        return;
    QColor edge = palette().color(QPalette::WindowText);
    edge.setAlphaF(0.25);
    QPainter painter(this);
    painter.setPen(QPen(edge, 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}
