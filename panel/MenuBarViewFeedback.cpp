// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's side of a decision: the feedback from the press to its end, the progress of a
// copy, and the warning that stays when it failed.
#include "MenuBarView.h"

#include "AppState.h"
#include "ElidedLabel.h"
#include "PreviewCard.h"
#include "TextStyles.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

using namespace Qt::StringLiterals;

bool MenuBarView::showFailure(const QString &reason)
{
    const std::optional<TrackedFile> file = m_appState.currentFile();
    if (!file || isShowingFinishedState() || m_isAnimating)
        return false;
    // The same warning as a failed decision, staying until the next decision or scan.
    m_overlayColor = TextStyles::orange();
    m_card->showFeedback(m_overlayColor, u"exclamationmark.triangle.fill"_s);
    m_warningShown = true;
    m_failure->setText(reason);
    m_failedFile = file;
    refresh();
    return true;
}

void MenuBarView::rescan()
{
    // Refresh, Scan Again and showing the panel take the warning away at once, even when the
    // scan itself waits for a decision under way.
    clearWarning();
    refresh();
    m_appState.scanFolders();
}

void MenuBarView::clearWarning()
{
    m_failedFile.reset();
    if (!m_warningShown)
        return;
    m_warningShown = false;
    m_card->hideFeedback();
    m_overlayColor = Qt::transparent;
}

void MenuBarView::setDecisionButtonsBusy(bool busy)
{
    // Only the look of disabled buttons: a disabled button would pass the keyboard focus on,
    // to the gear at the end of the chain. Presses meanwhile are ignored below.
    for (QPushButton *button : {m_delete, m_keep}) {
        button->setProperty("busy", busy);
        button->style()->unpolish(button);
        button->style()->polish(button);
    }
}

void MenuBarView::performWithFeedback(Decision decision)
{
    if (m_isAnimating)
        return;
    // The decision belongs to the file on screen now, even if the user picks another row
    // or a rescan is asked for before it is carried out.
    const std::optional<TrackedFile> file = m_appState.currentFile();
    if (!file)
        return;
    m_isAnimating = true;
    setDecisionButtonsBusy(true);
    clearWarning();
    refresh();

    m_keepPending = decision == Decision::Keep;
    m_decidedFile = file;
    m_progressDue = false;
    m_progressDone = 0;
    m_progressTotal = 0;
    m_progressDelay->start();
    m_ticket = m_appState.decide(m_keepPending ? DecisionHistory::Kind::Keep
                                               : DecisionHistory::Kind::Delete,
                                 *file, feedbackDelayMs);
}

void MenuBarView::decisionChecked(quint64 ticket)
{
    if (ticket != m_ticket)
        return;
    m_overlayColor = m_keepPending ? TextStyles::green() : TextStyles::red();
    (m_keepPending ? m_showCheckmark : m_showTrash) = true;
    m_card->showFeedback(m_overlayColor,
                         m_keepPending ? u"checkmark.circle.fill"_s : u"trash.fill"_s);
}

void MenuBarView::decisionProgress(quint64 ticket, qint64 done, qint64 total)
{
    if (ticket != m_ticket)
        return;
    m_progressDone = done;
    m_progressTotal = total;
    if (m_progressDue)
        m_card->showProgress(done, total);
}

void MenuBarView::decisionFinished(quint64 ticket, bool ok, const QString &failure)
{
    if (ticket != m_ticket)
        return;
    m_ticket = 0;
    m_progressDelay->stop();
    m_card->hideProgress();
    m_showCheckmark = false;
    m_showTrash = false;
    if (ok) {
        m_card->hideFeedback();
        m_overlayColor = Qt::transparent;
    } else {
        // What the user would have believed done was not: the warning takes the place of any
        // success symbol and stays, with the reason under the file.
        m_overlayColor = TextStyles::orange();
        m_card->showFeedback(m_overlayColor, u"exclamationmark.triangle.fill"_s);
        m_warningShown = true;
        m_failure->setText(failure);
        m_failedFile = m_decidedFile;
    }
    m_isAnimating = false;
    setDecisionButtonsBusy(false);
    refresh();
}
