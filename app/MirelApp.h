// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppDelegate.h"
#include "AppState.h"
#include "StartAtLogin.h"
#include "UpdaterViewModel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

class MenuBarView;
class QAction;
class QLocale;
class QMenu;
class QTranslator;
class QSystemTrayIcon;
class SettingsView;

// The running program: the one review state and the one updater, the tray icon, the review
// panel that drops down from it and the settings window. Without a system tray the panel
// opens as a small ordinary window instead, and closing it quits.
class MirelApp final : public QObject
{
    Q_OBJECT

public:
    explicit MirelApp(QObject *parent = nullptr);
    ~MirelApp() override;

    AppState &appState() { return m_appState; }
    UpdaterViewModel &updaterViewModel() { return m_updaterViewModel; }
    MenuBarView *panel() const { return m_panel.get(); }
    SettingsView *settingsWindow() const { return m_settings.get(); }
    QSystemTrayIcon *trayIcon() const { return m_tray; }
    bool usesFallbackWindow() const { return m_fallback; }

    // Mirel's own texts and Qt's (dialog buttons, the folder picker) in the given language;
    // the translators belong to `owner`.
    static QList<QTranslator *> installTranslations(const QLocale &locale, QObject *owner);

    // What the tray said on the very first start (empty on every later one).
    QString welcomeMessage() const { return m_welcomeMessage; }

    void togglePanel();
    void showPanel();
    // Opens the one settings window, or brings it forward.
    void showSettings();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setUpTray();
    void addUndoEntry();
    void useTrayPanel();
    void useFallbackWindow();
    void watchForTray();
    void addStartAtLogin();
    void showFileCount();
    static bool settingsExist();

    // Read before the review state writes its first setting.
    const bool m_firstStart = !settingsExist();
    AppDelegate m_appDelegate;
    AppState m_appState;
    UpdaterViewModel m_updaterViewModel;
    std::unique_ptr<MenuBarView> m_panel;
    std::unique_ptr<SettingsView> m_settings;
    std::unique_ptr<QMenu> m_trayMenu;
    StartAtLogin m_startAtLogin;
    QAction *m_startAtLoginAction = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    bool m_fallback = false;
    QElapsedTimer m_hiddenByFocusLoss;
    QTimer m_trayWatch;
    QString m_welcomeMessage;
};
