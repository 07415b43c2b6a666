// SPDX-License-Identifier: GPL-3.0-or-later
// The custom folder rows of the settings window, and adding and removing folders.
#include "SettingsView.h"

#include "AppState.h"
#include "Console.h"
#include "ElidedLabel.h"
#include "FolderAccessService.h"
#include "FolderDisplay.h"
#include "FolderPicker.h"
#include "MirelIcons.h"
#include "SettingsGroup.h"
#include "SymbolLabel.h"
#include "TextStyles.h"
#include "ToggleSwitch.h"

#include <QPointer>
#include <QToolButton>

using namespace Qt::StringLiterals;

void SettingsView::setFolderPicker(std::unique_ptr<FolderPicker> picker)
{
    m_folderPicker = std::move(picker);
}

void SettingsView::showFolderPicker()
{
    // The picker runs its own event loop; a second press meanwhile must not open another.
    if (m_showFolderPicker || !m_folderPicker)
        return;
    m_showFolderPicker = true;
    QPointer<SettingsView> alive(this);
    const std::shared_ptr<FolderPicker> picker = m_folderPicker;
    const QList<QUrl> selection = picker->pickFolders(this);
    if (!alive)
        return;
    m_showFolderPicker = false;
    handleFolderSelection(selection);
}

void SettingsView::handleFolderSelection(const QList<QUrl> &selection)
{
    if (selection.isEmpty())
        return;
    const QUrl &folder = selection.first();
    // A folder the list cannot hold (not on this computer, or not an absolute path) is
    // ignored like a cancelled picker.
    if (!FolderAccessService::canStore(folder))
        return;

    Console::writeLine(u"[Mirel] Custom folder selected: "_s + folder.toLocalFile());
    m_appState.addFolder(folder);
}

void SettingsView::removeFolder(const QUrl &folder)
{
    m_appState.removeFolder(folder);
}

void SettingsView::refreshFolderRows()
{
    const QList<QUrl> folders = FolderDisplay::customFolders(m_appState.folderAccessService());
    // Rows are rebuilt only when the list changed, so the many announcements of one scan do
    // not churn the widgets (or take focus from a row's button).
    if (folders == m_shownFolders)
        return;
    for (QWidget *row : std::as_const(m_folderRows))
        m_customFolderGroup->removeRow(row);
    m_folderRows.clear();
    m_removeButtons.clear();
    for (const QUrl &folder : folders)
        m_folderRows.append(addFolderRow(int(m_folderRows.size()), folder));
    m_shownFolders = folders;

    // Tab goes through the rows top to bottom, though they were made after the buttons below:
    // chained in right after the Downloads switch, they come before Add Folder.
    QWidget *previous = m_downloadsSwitch;
    for (QAbstractButton *removeButton : std::as_const(m_removeButtons)) {
        setTabOrder(previous, removeButton);
        previous = removeButton;
    }
}

QWidget *SettingsView::addFolderRow(int index, const QUrl &folder)
{
    const QString shown = FolderDisplay::abbreviatedPath(folder);
    auto *label = new ElidedLabel(m_customFolderGroup);
    label->setText(shown);
    label->setToolTip(folder.toLocalFile());

    auto *removeButton = new QToolButton(m_customFolderGroup);
    removeButton->setAutoRaise(true);
    removeButton->setIcon(MirelIcons::icon(u"minus.circle.fill"_s, TextStyles::red()));
    removeButton->setIconSize(QSize(18, 18));
    removeButton->setAccessibleName(tr("Remove %1").arg(shown));
    removeButton->setToolTip(tr("Remove %1").arg(shown));
    removeButton->setCursor(Qt::PointingHandCursor);
    connect(removeButton, &QToolButton::clicked, this, [this, folder] { removeFolder(folder); });
    m_removeButtons.append(removeButton);

    return m_customFolderGroup->insertRow(
        index, {new SymbolLabel(u"folder.fill"_s, TextStyles::blue(), 18), label, removeButton});
}
