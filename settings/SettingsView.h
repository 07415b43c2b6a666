// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class AppState;
class QAbstractButton;
class ElidedLabel;
class FolderPicker;
class QLabel;
class SettingsGroup;
class ToggleSwitch;

// The settings window: the Desktop and Downloads switches, the custom folders with their
// add and remove controls, where kept files go, and the version with the update check. It
// keeps no settings of its own; everything it shows is read again whenever the review state
// announces a change, so it always matches what is stored.
class SettingsView final : public QWidget
{
    Q_OBJECT

public:
    // Always a window of its own; a parent only ties the lifetimes together. checkForUpdates
    // runs on every press of "Check for Updates..."; the window knows nothing else of the
    // updater.
    SettingsView(AppState &appState, std::function<void()> checkForUpdates,
                 QWidget *parent = nullptr);
    ~SettingsView() override;

    // The picker "Add Folder" opens; tests put in one that answers for the user.
    void setFolderPicker(std::unique_ptr<FolderPicker> picker);

    // Asks the review state to add the first chosen folder (it stores it and rescans). An
    // empty selection (the picker was cancelled or failed) changes nothing.
    void handleFolderSelection(const QList<QUrl> &selection);
    // Asks the review state to drop every stored entry with this folder's path and rescan.
    void removeFolder(const QUrl &folder);

    // Adds the "Start at Login" switch, which shows isEnabled() and, when flipped, calls
    // setEnabled(on) and shows isEnabled() again: a failed write leaves it telling the truth.
    void setStartAtLogin(std::function<bool()> isEnabled, std::function<bool(bool)> setEnabled);
    // Reads the setting again, as another place (the tray menu, the user) may have changed it.
    void refreshStartAtLogin();
    ToggleSwitch *startAtLoginSwitch() const { return m_startAtLoginSwitch; }

private:
    void buildMonitoredFolders(QWidget *content);
    void buildCustomFolders(QWidget *content);
    void buildKeepLocation(QWidget *content);
    void buildAbout(QWidget *content);

    void refresh();
    void refreshFolderRows();
    QWidget *addFolderRow(int index, const QUrl &folder);
    void showFolderPicker();

    AppState &m_appState;
    const std::function<void()> m_checkForUpdates;
    // Shared so the picker outlives a window closed while the picker is still open.
    std::shared_ptr<FolderPicker> m_folderPicker;
    bool m_showFolderPicker = false;

    QWidget *m_content = nullptr;
    std::function<bool()> m_startAtLoginEnabled;
    std::function<bool(bool)> m_setStartAtLogin;
    ToggleSwitch *m_startAtLoginSwitch = nullptr;
    ToggleSwitch *m_desktopSwitch = nullptr;
    ToggleSwitch *m_downloadsSwitch = nullptr;
    SettingsGroup *m_customFolderGroup = nullptr;
    QList<QUrl> m_shownFolders;
    QList<QWidget *> m_folderRows;
    QList<QAbstractButton *> m_removeButtons;
    ElidedLabel *m_keptFilesLabel = nullptr;
    QLabel *m_versionLabel = nullptr;
    QLabel *m_buildLabel = nullptr;
};
