// SPDX-License-Identifier: GPL-3.0-or-later
#include "MirelApp.h"

#include "DesktopNotification.h"
#include "FileNames.h"
#include "MenuBarView.h"
#include "PanelPlacement.h"
#include "PathCodec.h"
#include "Settings.h"
#include "SettingsView.h"
#include "TrayIcon.h"
#include "TrayIconArt.h"

#include <QApplication>
#include <QDBusConnection>
#include <QEvent>
#include <QFontMetrics>
#include <QLibraryInfo>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace {
// A click on the tray icon first takes the focus from the open panel, which hides it; the
// click itself must then not open it again.
constexpr int reopenGuardMs = 300;
// Wider names are shortened in the middle in the tray menu's undo entry, and more in the
// footer's button, which shares its row with three others.
constexpr int undoNameWidth = 320;
constexpr int undoButtonNameWidth = 150;
} // namespace

MirelApp::MirelApp(Start start, QObject *parent)
    : MirelApp(start, QDBusConnection::sessionBus(), parent)
{}

MirelApp::MirelApp(Start start, const QDBusConnection &trayBus, QObject *parent)
    : QObject(parent)
    , m_appDelegate(this)
    , m_panel(std::make_unique<MenuBarView>(m_appState))
    , m_startAtLogin(StartAtLogin::programFor(QCoreApplication::applicationFilePath()))
{
    m_panel->installEventFilter(this);
    m_panel->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    connect(m_panel.get(), &MenuBarView::settingsRequested, this, &MirelApp::showSettings);
    // In the window used without a tray, Escape does nothing: closing that window quits.
    connect(m_panel.get(), &MenuBarView::dismissRequested, this, [this] {
        if (m_mode != Mode::Window)
            m_panel->hide();
    });
    setUpTrayMenu();
    setUpUndo();
    m_tray = new TrayIcon(TrayIconArt::icon(), m_trayMenu.get(), trayBus, this);
    showFileCount();
    connect(&m_appState, &AppState::filesChanged, this, &MirelApp::showFileCount);
    connect(m_tray, &TrayIcon::activated, this, &MirelApp::iconClicked);
    connect(m_tray, &TrayIcon::settled, this, [this, start] { trayLooked(start); });
    connect(m_tray, &TrayIcon::dockedChanged, this, [this](bool docked) {
        // A tray that comes after Mirel (a panel started late at login) takes it over.
        if (docked && m_mode != Mode::Undecided && m_mode != Mode::Tray)
            useTrayPanel();
    });
    m_trayWait.setSingleShot(true);
    m_trayWait.setInterval(trayWaitAtLoginMs);
    connect(&m_trayWait, &QTimer::timeout, this, [this] {
        if (m_mode == Mode::WaitingForTray)
            useFallbackWindow();
    });
    if (m_firstStart)
        m_welcomeMessage =
            tr("Mirel is in the system tray. Files to review: %1").arg(m_appState.files().size());
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

void MirelApp::setUpTrayMenu()
{
    m_trayMenu = std::make_unique<QMenu>();
    // First: GNOME's AppIndicator opens the menu on a plain click, so this is the way in.
    m_trayMenu->addAction(tr("Open Mirel"), this, &MirelApp::showPanel);
    addUndoEntry();
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(tr("Settings..."), this, &MirelApp::showSettings);
    addStartAtLogin();
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(tr("Quit"), qApp, &QCoreApplication::quit);
}

QString MirelApp::undoText(const QFont &font, int nameWidth) const
{
    const std::optional<DecisionHistory::Decision> decision = m_appState.lastDecision();
    if (!decision)
        return tr("Undo");
    // A name can be long, need not be UTF-8 and can hold "&", which menus and buttons read
    // as an access key mark. (The D-Bus menu turns the result into its own marks.)
    QString name = PathCodec::displayString(FileNames::fileName(decision->originalPath));
    name = QFontMetrics(font).elidedText(name, Qt::ElideMiddle, nameWidth).replace(u'&', u"&&"_s);
    return decision->kind == DecisionHistory::Kind::Keep ? tr("Undo Keep: %1").arg(name)
                                                         : tr("Undo Delete: %1").arg(name);
}

void MirelApp::addUndoEntry()
{
    QAction *undo = m_trayMenu->addAction(tr("Undo"), this, &MirelApp::undo);
    // Names the latest decision; reads "Undo", disabled, when there is none.
    const auto refresh = [this, undo] {
        undo->setEnabled(m_appState.lastDecision().has_value());
        undo->setText(undoText(m_trayMenu->font(), undoNameWidth));
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
            m_tray->showMessage(tr("Could not undo"), reason);
        });
    });
}

void MirelApp::setUpUndo()
{
    // Ctrl+Z in the panel or the window: it only ever moves a file back.
    auto *shortcut = new QShortcut(QKeySequence::Undo, m_panel.get());
    connect(shortcut, &QShortcut::activated, this, [this] {
        if (m_appState.lastDecision())
            m_appState.undoLastDecision();
    });

    // Without a tray there is no menu: the window's footer offers the undo instead.
    m_undoButton = new QPushButton;
    m_undoButton->setFlat(true);
    m_panel->addToFooter(m_undoButton);
    connect(m_undoButton, &QPushButton::clicked, this, &MirelApp::undo);
    const auto refresh = [this] {
        const bool possible = m_appState.lastDecision().has_value();
        m_undoButton->setText(undoText(m_undoButton->font(), undoButtonNameWidth));
        // The whole name for screen readers and the tooltip; the button may shorten it.
        const QString whole =
            undoText(m_undoButton->font(), QWIDGETSIZE_MAX).replace(u"&&"_s, u"&"_s);
        m_undoButton->setAccessibleName(whole);
        m_undoButton->setToolTip(whole);
        m_undoButton->setVisible(possible && m_mode == Mode::Window);
    };
    connect(&m_appState, &AppState::lastDecisionChanged, m_undoButton, refresh);
    connect(this, &MirelApp::modeChanged, m_undoButton, refresh);
    refresh();
}

void MirelApp::undo()
{
    if (!m_appState.lastDecision())
        return;
    // A restored file opens the panel on it (the undone signal); a failure is told instead.
    m_appState.undoLastDecision();
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
        if (m_settings)
            m_settings->refreshStartAtLogin();
    });
    m_startAtLoginAction->setChecked(m_startAtLogin.isEnabled());
}

void MirelApp::trayLooked(Start start)
{
    if (m_mode != Mode::Undecided)
        return;
    if (m_tray->isDocked()) {
        useTrayPanel();
    } else if (start == Start::AtLogin) {
        // At login the panel often comes a little after the programs it starts.
        m_mode = Mode::WaitingForTray;
        m_trayWait.start();
    } else {
        useFallbackWindow();
    }
}

void MirelApp::useTrayPanel()
{
    m_trayWait.stop();
    if (m_mode == Mode::Window) {
        // The window becomes the panel, hidden until the icon is clicked. Hidden before the
        // switch, so its going is not taken for the panel losing the focus, which would
        // ignore the next click for a moment.
        m_panel->hide();
        m_panel->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    }
    m_mode = Mode::Tray;
    if (m_firstStart && !m_welcomed) {
        m_welcomed = true;
        m_tray->showMessage(tr("Mirel"), m_welcomeMessage);
    }
    emit modeChanged();
}

void MirelApp::useFallbackWindow()
{
    m_mode = Mode::Window;
    m_panel->setWindowFlags(Qt::Window);
    m_panel->setWindowTitle(tr("Mirel"));
    m_panel->show();
    emit modeChanged();
}

void MirelApp::iconClicked(const QRect &where)
{
    if (where.isValid())
        m_lastIcon = where;
    togglePanel();
}

void MirelApp::togglePanel()
{
    if (m_panel->isVisible() && m_mode != Mode::Window) {
        m_panel->hide();
        return;
    }
    if (m_hiddenByFocusLoss.isValid() && m_hiddenByFocusLoss.elapsed() < reopenGuardMs)
        return;
    showPanel();
}

void MirelApp::showPanel()
{
    if (m_mode != Mode::Window) {
        const QRect icon = m_lastIcon;
        QScreen *screen = QGuiApplication::screenAt(icon.isValid() ? icon.center() : QPoint());
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen) {
            const QRect available = screen->availableGeometry();
            // The panel has no frame: its own rectangle is placed, never a frame that the
            // window used without a tray had before the tray came.
            m_panel->setGeometry(QRect(
                PanelPlacement::topLeft(m_panel->size(), icon,
                                        PanelPlacement::trayCorner(screen->geometry(), available),
                                        available),
                m_panel->size()));
        }
    }
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
}

void MirelApp::showSettings()
{
    if (!m_settings) {
        m_settings = std::make_unique<SettingsView>(
            m_appState, [this] { m_updaterViewModel.checkForUpdates(); });
        m_settings->setStartAtLogin([this] { return m_startAtLogin.isEnabled(); },
                                    [this](bool enabled) {
                                        const bool written = m_startAtLogin.setEnabled(enabled);
                                        m_startAtLoginAction->setChecked(
                                            m_startAtLogin.isEnabled());
                                        return written;
                                    });
    }
    m_settings->refreshStartAtLogin();
    m_settings->show();
    m_settings->raise();
    m_settings->activateWindow();
}

bool MirelApp::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_panel.get()) {
        if (event->type() == QEvent::WindowDeactivate && m_mode == Mode::Tray &&
            m_panel->isVisible()) {
            m_panel->hide();
            m_hiddenByFocusLoss.start();
        } else if (event->type() == QEvent::Close && m_mode == Mode::Window) {
            // With no tray, the window is Mirel: closing it quits, unless a tray has come
            // along meanwhile to keep Mirel reachable.
            if (m_tray->isDocked())
                useTrayPanel();
            else
                QCoreApplication::quit();
        }
    }
    return QObject::eventFilter(watched, event);
}
