// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TrackedFile.h"

#include <QColor>
#include <QUuid>
#include <QWidget>

#include <optional>

class AppState;
class CountLabel;
class ElidedLabel;
class FileListView;
class FinishedView;
class PreviewCard;
class QAbstractButton;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTimer;
class QToolButton;

// The review panel, 320 x 480: header with the count, the current file's preview card,
// name, folder and size, Delete and Keep, the file list, and the footer. When nothing is
// left it shows the finished state. It rescans every time it is shown.
class MenuBarView final : public QWidget
{
    Q_OBJECT

public:
    explicit MenuBarView(AppState &appState, QWidget *parent = nullptr);

    enum class Decision { Keep, Delete };

    static constexpr int feedbackDelayMs = 200;

    // Keeps or deletes the file that was on screen at the press: once it is known to be still
    // there, the card tints and 0.2 s later the file operation runs, off the main thread; a
    // copy that takes longer shows its progress. A failure shows the warning in place of the
    // success symbol as soon as it is known, and it stays with its reason until the next
    // decision or scan. Presses until the decision ends are ignored, and the focus stays on
    // the pressed button.
    void performWithFeedback(Decision decision);
    static constexpr int progressDelayMs = 500;

    // Shows a failure that is not a decision's (an undo's) on the card of the current file:
    // the orange warning, and the reason under the name. False when no file is shown.
    bool showFailure(const QString &reason);

    QColor overlayColor() const { return m_overlayColor; }
    bool showCheckmark() const { return m_showCheckmark; }
    bool showTrash() const { return m_showTrash; }
    bool isAnimating() const { return m_isAnimating; }

    // For tests and the shell: the parts a person sees.
    CountLabel *countLabel() const { return m_count; }
    PreviewCard *previewCard() const { return m_card; }
    ElidedLabel *nameLabel() const { return m_name; }
    QLabel *detailsLabel() const { return m_details; }
    // Why the last decision failed, shown in place of the details line.
    ElidedLabel *failureLabel() const { return m_failure; }
    QPushButton *keepButton() const { return m_keep; }
    QPushButton *deleteButton() const { return m_delete; }
    FileListView *fileList() const { return m_list; }
    FinishedView *finishedView() const { return m_finished; }
    QToolButton *settingsButton() const { return m_settings; }
    QToolButton *refreshButton() const { return m_refresh; }
    QToolButton *quitButton() const { return m_quit; }
    bool isShowingFinishedState() const;
    // A control the shell adds to the footer, after the gear.
    void addToFooter(QWidget *widget);

signals:
    // The gear: the shell opens the settings window or brings it forward.
    void settingsRequested();
    // Escape: the shell hides the panel, as desktop popups go away.
    void dismissRequested();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *makeHeader();
    QWidget *makeReviewSection();
    QWidget *makeFooter();
    void refresh();
    void selectRow(qsizetype index);
    void showBody(bool finished);
    void pressOnEnter(QAbstractButton *button);
    void setDecisionButtonsBusy(bool busy);
    void decisionChecked(quint64 ticket);
    void decisionProgress(quint64 ticket, qint64 done, qint64 total);
    void decisionFinished(quint64 ticket, bool ok, const QString &failure);
    void clearWarning();
    void rescan();

    AppState &m_appState;
    QColor m_overlayColor = Qt::transparent;
    bool m_showCheckmark = false;
    bool m_showTrash = false;
    bool m_isAnimating = false;

    CountLabel *m_count = nullptr;
    QStackedWidget *m_body = nullptr;
    QWidget *m_review = nullptr;
    QWidget *m_currentBlock = nullptr;
    PreviewCard *m_card = nullptr;
    ElidedLabel *m_name = nullptr;
    QLabel *m_details = nullptr;
    ElidedLabel *m_failure = nullptr;
    // The file whose decision failed; its reason and the warning show while it is current.
    std::optional<TrackedFile> m_failedFile;
    bool m_warningShown = false;
    // The decision under way: its ticket, what it does, and how far its copy is.
    quint64 m_ticket = 0;
    bool m_keepPending = false;
    std::optional<TrackedFile> m_decidedFile;
    QTimer *m_progressDelay = nullptr;
    bool m_progressDue = false;
    qint64 m_progressDone = 0;
    qint64 m_progressTotal = 0;
    QPushButton *m_delete = nullptr;
    QPushButton *m_keep = nullptr;
    FileListView *m_list = nullptr;
    FinishedView *m_finished = nullptr;
    QToolButton *m_settings = nullptr;
    QToolButton *m_refresh = nullptr;
    QToolButton *m_quit = nullptr;
    QHBoxLayout *m_footerRow = nullptr;
};
