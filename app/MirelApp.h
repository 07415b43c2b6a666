// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppDelegate.h"
#include "AppState.h"
#include "StartAtLogin.h"
#include "UpdaterViewModel.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QRect>
#include <QTimer>

#include <memory>

class MenuBarView;
class QAction;
class QLocale;
class QMenu;
class QPushButton;
class QTranslator;
class SettingsView;
class TrayIcon;

// The running program: the one review state and the one updater, the tray icon, the review
// panel that drops down from it and the settings window. Without a system tray the panel
// opens as a small ordinary window instead, and closing it quits; a tray that comes later
// gets the icon, and the window becomes the panel again.
class MirelApp final : public QObject
{
    Q_OBJECT

public:
    // AtLogin: started by the autostart entry, when the desktop's panel may still be on its
    // way: Mirel waits for a tray a while before it opens the window.
    enum class Start { Normal, AtLogin };

    explicit MirelApp(Start start = Start::Normal, QObject *parent = nullptr);
    // With the tray icon served on that bus instead of the session bus (tests use their own).
    MirelApp(Start start, const QDBusConnection &trayBus, QObject *parent = nullptr);
    ~MirelApp() override;

    static constexpr int trayWaitAtLoginMs = 10000;

    AppState &appState() { return m_appState; }
    UpdaterViewModel &updaterViewModel() { return m_updaterViewModel; }
    MenuBarView *panel() const { return m_panel.get(); }
    SettingsView *settingsWindow() const { return m_settings.get(); }
    TrayIcon *trayIcon() const { return m_tray; }
    QMenu *trayMenu() const { return m_trayMenu.get(); }
    // Whether the panel is the ordinary window used without a tray.
    bool usesFallbackWindow() const { return m_mode == Mode::Window; }
    // Whether Mirel has decided between the tray and the window.
    bool isStarted() const { return m_mode == Mode::Tray || m_mode == Mode::Window; }
    // The footer's "Undo ..." button, shown in the window used without a tray.
    QPushButton *undoButton() const { return m_undoButton; }

    // Mirel's own texts and Qt's (dialog buttons, the folder picker) in the given language;
    // the translators belong to `owner`.
    static QList<QTranslator *> installTranslations(const QLocale &locale, QObject *owner);

    // What the tray said on the very first start (empty on every later one).
    QString welcomeMessage() const { return m_welcomeMessage; }

    // A click on the icon; where: the icon's geometry or the point the tray named (invalid
    // when it did not say).
    void iconClicked(const QRect &where);
    void togglePanel();
    // Opens the panel by the icon: where it was last clicked, else the screen's tray corner.
    void showPanel();
    // Opens the one settings window, or brings it forward.
    void showSettings();
    // Takes back the latest Keep or Delete, if any.
    void undo();

signals:
    void modeChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    enum class Mode { Undecided, WaitingForTray, Tray, Window };

    void setUpTrayMenu();
    void addUndoEntry();
    void addStartAtLogin();
    void setUpUndo();
    void trayLooked(Start start);
    void useTrayPanel();
    void useFallbackWindow();
    void showFileCount();
    QString undoText(const QFont &font, int nameWidth) const;
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
    QPushButton *m_undoButton = nullptr; // in the panel's footer
    TrayIcon *m_tray = nullptr;          // child
    Mode m_mode = Mode::Undecided;
    QRect m_lastIcon;
    QElapsedTimer m_hiddenByFocusLoss;
    QTimer m_trayWait;
    QString m_welcomeMessage;
    bool m_welcomed = false;
};
