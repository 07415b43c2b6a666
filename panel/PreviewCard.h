// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TrackedFile.h"

#include <QColor>
#include <QWidget>

#include <optional>

class SmartPreviewView;
class QProgressBar;
class QVariantAnimation;

// The large preview of the current file, 180 high with rounded corners, and over it the
// feedback of a decision: a tint at 0.4 opacity and a white symbol that scales and fades.
class PreviewCard final : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewCard(QWidget *parent = nullptr);

    static constexpr int cardHeight = 180;
    static constexpr int cornerRadius = 8;

    // A different file gets a fresh preview (so zoom starts at rest); the same one is kept.
    void setFile(const std::optional<TrackedFile> &file);
    SmartPreviewView *preview() const { return m_preview; }
    QUuid fileId() const { return m_fileId; }

    // Tint and symbol in or out over 0.15 s, ease in-out.
    void showFeedback(const QColor &color, const QString &symbolName);
    void hideFeedback();
    // Another tint and symbol in place of the shown ones, at the same strength.
    void changeFeedback(const QColor &color, const QString &symbolName);
    QColor overlayColor() const { return m_overlayColor; }
    QString symbolName() const { return m_symbolName; }
    qreal feedbackLevel() const { return m_level; }

    // A determinate bar over the bottom of the card: the share of a copy that is done.
    void showProgress(qint64 done, qint64 total);
    void hideProgress();
    QProgressBar *progressBar() const { return m_progress; }

signals:
    // A tint and symbol were put up (not the fade out): what a person sees as the outcome.
    void feedbackShown(const QString &symbolName);
    // "Open" found no application for the file; `reason` says so in words.
    void openFailed(const QString &reason);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void paintOverlay(QWidget *overlay);
    void animateTo(qreal level);

    QUuid m_fileId;
    QString m_filePath;
    SmartPreviewView *m_preview = nullptr;
    QWidget *m_overlay;
    QColor m_overlayColor = Qt::transparent;
    QString m_symbolName;
    qreal m_level = 0.0;
    QVariantAnimation *m_fade;
    QProgressBar *m_progress;
};
