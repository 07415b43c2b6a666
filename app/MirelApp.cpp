// SPDX-License-Identifier: GPL-3.0-or-later
#include "MirelApp.h"

#include "DesktopNotification.h"
#include "FileNames.h"
#include "MenuBarView.h"
#include "PanelPlacement.h"
#include "PathCodec.h"
#include "Settings.h"
#include "SettingsView.h"
#include "TrayIconArt.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QFontMetrics>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace {
// A click on the tray icon first takes the focus from the open panel, which hides it; the
// click itself must then not open it again.
constexpr int reopenGuardMs = 300;
constexpr int trayWatchMs = 2000;
// Wider names are shortened in the middle in the tray menu's undo entry.
constexpr int undoNameWidth = 320;
} // namespace

MirelApp::MirelApp(QObject *parent)
    : QObject(parent)
    , m_appDelegate(this)
    , m_panel(std::make_unique<MenuBarView>(m_appState))
    , m_startAtLogin(StartAtLogin::programFor(QCoreApplication::applicationFilePath()))
{
    m_panel->installEventFilter(this);
    connect(m_panel.get(), &MenuBarView::settingsRequested, this, &MirelApp::showSettings);
    // In the window used without a tray, Escape does nothing: closing that window quits.
    connect(m_panel.get(), &MenuBarView::dismissRequested, this, [this] {
        if (!m_fallback)
            m_panel->hide();
    });
    setUpTray();
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        useTrayPanel();
    } else {
        useFallbackWindow();
        m_panel->show();
        watchForTray();
    }
    if (m_firstStart) {
        m_welcomeMessage =
            tr("Mirel is in the system tray. Files to review: %1").arg(m_appState.files().size());
        if (QSystemTrayIcon::isSystemTrayAvailable())
            m_tray->showMessage(tr("Mirel"), m_welcomeMessage, TrayIconArt::icon());
    }
}

bool MirelApp::settingsExist()
{
    return Settings::storeExists();
}

QList<QTranslator *> MirelApp::installTranslations(const QLocale &locale, QObject *owner)
{
    QList<QTranslator *> installed;
    const auto install = [&](const QString &name, const QString &folder) {
        auto *translator = new QTranslator(owner);
        if (translator->load(locale, name, u"_"_s, folder) &&
            QCoreApplication::installTranslator(translator))
            installed.append(translator);
        else
            delete translator;
    };
    install(u"qtbase"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    install(u"mirel"_s, u":/i18n"_s);
    return installed;
}

void MirelApp::showFileCount()
{
    if (m_appState.isScanning())
        return;
    m_tray->setToolTip(tr("Mirel: %n files to review", nullptr, int(m_appState.files().size())));
}

MirelApp::~MirelApp() = default;

void MirelApp::setUpTray()
{
    m_tray = new QSystemTrayIcon(TrayIconArt::icon(), this);
    showFileCount();
    connect(&m_appState, &AppState::filesChanged, this, &MirelApp::showFileCount);
    m_trayMenu = std::make_unique<QMenu>();
    addUndoEntry();
    m_trayMenu->addAction(tr("Open Mirel"), this, &MirelApp::showPanel);
    m_trayMenu->addAction(tr("Settings..."), this, &MirelApp::showSettings);
    addStartAtLogin();
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(tr("Quit"), qApp, &QCoreApplication::quit);
    m_tray->setContextMenu(m_trayMenu.get());
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    togglePanel();
            });
    // Shown even with no tray yet: it docks when one appears.
    m_tray->show();
}

void MirelApp::addUndoEntry()
{
    QAction *undo = m_trayMenu->addAction(tr("Undo"), &m_appState, &AppState::undoLastDecision);
    m_trayMenu->addSeparator();
    // Names the latest decision; reads "Undo", disabled, when there is none.
    const auto refresh = [this, undo] {
        const std::optional<DecisionHistory::Decision> decision = m_appState.lastDecision();
        undo->setEnabled(decision.has_value());
        if (!decision) {
            undo->setText(tr("Undo"));
            return;
        }
        // A name can be long, need not be UTF-8 and can hold "&", which a menu reads as a
        // shortcut mark.
        QString name = PathCodec::displayString(FileNames::fileName(decision->originalPath));
        name = QFontMetrics(m_trayMenu->font())
                   .elidedText(name, Qt::ElideMiddle, undoNameWidth)
                   .replace(u'&', u"&&"_s);
        undo->setText(decision->kind == DecisionHistory::Kind::Keep
                          ? tr("Undo Keep: %1").arg(name)
                          : tr("Undo Delete: %1").arg(name));
    };
    connect(m_trayMenu.get(), &QMenu::aboutToShow, undo, refresh);
    connect(&m_appState, &AppState::lastDecisionChanged, undo, refresh);
    refresh();

    // The undo's file comes back as the current one, in the panel: opening the panel scans
    // again, so the file is chosen once it is open.
    connect(&m_appState, &AppState::undone, this, [this](const QString &restoredPath) {
        if (!m_panel->isVisible())
            showPanel();
        const QList<TrackedFile> &files = m_appState.files();
        for (qsizetype i = 0; i < files.size(); ++i) {
            if (files.at(i).filePath == restoredPath) {
                m_appState.setCurrentIndex(i);
                break;
            }
        }
    });
    // A failed undo is told where the user is: on the open panel, or else by the desktop.
    connect(&m_appState, &AppState::undoFailed, this, [this](const QString &reason) {
        if (m_panel->isVisible() && m_panel->showFailure(reason))
            return;
        DesktopNotification::show(tr("Could not undo"), reason, this, [this, reason] {
            m_tray->showMessage(tr("Could not undo"), reason, QSystemTrayIcon::Warning);
        });
    });
}

void MirelApp::addStartAtLogin()
{
    m_startAtLoginAction = m_trayMenu->addAction(tr("Start at Login"));
    m_startAtLoginAction->setCheckable(true);
    // The entry is the setting: read it each time, since the user may have removed it.
    connect(m_trayMenu.get(), &QMenu::aboutToShow, this,
            [this] { m_startAtLoginAction->setChecked(m_startAtLogin.isEnabled()); });
    // Only the user's choice writes: setChecked() above and below does not trigger.
    connect(m_startAtLoginAction, &QAction::triggered, this, [this](bool checked) {
        m_startAtLogin.setEnabled(checked);
        // After a failed write or removal the check mark still tells the truth.
        m_startAtLoginAction->setChecked(m_startAtLogin.isEnabled());
    });
    m_startAtLoginAction->setChecked(m_startAtLogin.isEnabled());
}

void MirelApp::useTrayPanel()
{
    m_fallback = false;
    const bool wasVisible = m_panel->isVisible();
    m_panel->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    if (wasVisible)
        showPanel();
}

void MirelApp::useFallbackWindow()
{
    m_fallback = true;
    m_panel->setWindowFlags(Qt::Window);
    m_panel->setWindowTitle(tr("Mirel"));
}

void MirelApp::watchForTray()
{
    m_trayWatch.setInterval(trayWatchMs);
    connect(&m_trayWatch, &QTimer::timeout, this, [this] {
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            return;
        m_trayWatch.stop();
        m_tray->show();
    });
    m_trayWatch.start();
}

void MirelApp::togglePanel()
{
    if (m_panel->isVisible()) {
        m_panel->hide();
        return;
    }
    if (m_hiddenByFocusLoss.isValid() && m_hiddenByFocusLoss.elapsed() < reopenGuardMs)
        return;
    showPanel();
}

void MirelApp::showPanel()
{
    if (!m_fallback) {
        QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen) {
            m_panel->move(PanelPlacement::topLeft(m_panel->size(), m_tray->geometry(),
                                                  QCursor::pos(), screen->availableGeometry()));
        }
    }
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
}

void MirelApp::showSettings()
{
    if (!m_settings)
        m_settings = std::make_unique<SettingsView>(
            m_appState, [this] { m_updaterViewModel.checkForUpdates(); });
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
}

bool MirelApp::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_panel.get()) {
        if (event->type() == QEvent::WindowDeactivate && !m_fallback && m_panel->isVisible()) {
            m_panel->hide();
            m_hiddenByFocusLoss.start();
        } else if (event->type() == QEvent::Close && m_fallback) {
            // With no tray, the window is Mirel: closing it quits, unless a tray has come
            // along meanwhile to keep Mirel reachable.
            if (QSystemTrayIcon::isSystemTrayAvailable())
                useTrayPanel();
            else
                QCoreApplication::quit();
        }
    }
    return QObject::eventFilter(watched, event);
}
