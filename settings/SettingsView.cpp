// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsView.h"

#include "AppState.h"
#include "BuildInfo.h"
#include "ElidedLabel.h"
#include "FileDialogFolderPicker.h"
#include "FolderDisplay.h"
#include "MirelIcons.h"
#include "SettingsGroup.h"
#include "SettingsSection.h"
#include "SymbolLabel.h"
#include "TextStyles.h"
#include "ToggleSwitch.h"
#include "UserFolders.h"

#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int symbolSize = 18;

QLabel *secondaryLabel(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A click on a switch's title flips the switch, as in any settings dialog.
class TitleClick final : public QObject
{
public:
    TitleClick(QAbstractButton *target, QObject *parent)
        : QObject(parent)
        , m_target(target)
    {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() != QEvent::MouseButtonRelease ||
            static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
            return false;
        m_target->click();
        return true;
    }

private:
    QAbstractButton *m_target;
};

} // namespace

SettingsView::SettingsView(AppState &appState, std::function<void()> checkForUpdates,
                           QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_appState(appState)
    , m_checkForUpdates(std::move(checkForUpdates))
    , m_folderPicker(std::make_unique<FileDialogFolderPicker>())
{
    setWindowTitle(tr("Settings"));
    setFixedSize(380, 450);

    // The sections scroll when many custom folders no longer fit the fixed window.
    auto *scrollArea = new QScrollArea(this);
    scrollArea->setFrameShape(QFrame::NoFrame);
    scrollArea->setWidgetResizable(true);
    scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto *content = new QWidget(scrollArea);
    m_content = content;
    content->setBackgroundRole(QPalette::Window);
    auto *sections = new QVBoxLayout(content);
    sections->setContentsMargins(16, 12, 16, 12);
    sections->setSpacing(14);
    buildMonitoredFolders(content);
    buildCustomFolders(content);
    buildKeepLocation(content);
    buildAbout(content);
    sections->addStretch(1);
    scrollArea->setWidget(content);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scrollArea);

    auto *closeShortcut = new QShortcut(QKeySequence::Close, this);
    connect(closeShortcut, &QShortcut::activated, this, &QWidget::close);

    connect(&m_appState, &AppState::changed, this, &SettingsView::refresh);
    refresh();
}

SettingsView::~SettingsView() = default;

void SettingsView::buildMonitoredFolders(QWidget *content)
{
    auto *section = new SettingsSection(tr("Monitored Folders"), content);
    const auto addSwitch = [section](const QString &symbol, const QString &title,
                                     const QString &path) {
        auto *toggle = new ToggleSwitch(section);
        toggle->setAccessibleName(title);
        auto *label = new QLabel(title, section);
        // The folder the desktop names (~/Schreibtisch on a German desktop), none when it
        // sets the folder to the home.
        label->setToolTip(path);
        toggle->setToolTip(path);
        label->installEventFilter(new TitleClick(toggle, label));
        section->group()->addRow({new SymbolLabel(symbol, TextStyles::blue(), symbolSize), label,
                                  SettingsGroup::stretch(), toggle});
        return toggle;
    };
    m_desktopSwitch = addSwitch(u"menubar.dock.rectangle"_s, tr("Desktop"), UserFolders::desktop());
    m_downloadsSwitch =
        addSwitch(u"arrow.down.circle.fill"_s, tr("Downloads"), UserFolders::downloads());
    section->setFooter(tr("Enable folders to monitor for file cleanup."));
    content->layout()->addWidget(section);

    // Every flip writes, also one through a screen reader's toggle action; refresh() setting
    // the switch to the stored state does not.
    connect(m_desktopSwitch, &QAbstractButton::toggled, this, [this](bool checked) {
        if (checked != m_appState.includeDesktop())
            m_appState.setIncludeDesktop(checked);
    });
    connect(m_downloadsSwitch, &QAbstractButton::toggled, this, [this](bool checked) {
        if (checked != m_appState.includeDownloads())
            m_appState.setIncludeDownloads(checked);
    });
}

void SettingsView::buildCustomFolders(QWidget *content)
{
    auto *section = new SettingsSection(tr("Custom Folders"), content);
    m_customFolderGroup = section->group();
    auto *addButton = new QPushButton(MirelIcons::icon(u"plus"_s), tr("Add Folder"), section);
    addButton->setAccessibleName(tr("Add Folder"));
    m_customFolderGroup->addRow({addButton, SettingsGroup::stretch()});
    content->layout()->addWidget(section);
    connect(addButton, &QPushButton::clicked, this, &SettingsView::showFolderPicker);
}

void SettingsView::buildKeepLocation(QWidget *content)
{
    auto *section = new SettingsSection(tr("Keep Location"), content);
    m_keptFilesLabel = new ElidedLabel(section);
    m_keptFilesLabel->setForegroundRole(QPalette::PlaceholderText);
    m_keptFilesLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto *title = new QLabel(tr("Move kept files to:"), section);
    title->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    section->group()->addRow({title, m_keptFilesLabel});
    content->layout()->addWidget(section);
}

void SettingsView::buildAbout(QWidget *content)
{
    auto *section = new SettingsSection(tr("About"), content);
    m_versionLabel = secondaryLabel(section);
    m_buildLabel = secondaryLabel(section);
    section->group()->addRow(
        {new QLabel(tr("Mirel"), section), SettingsGroup::stretch(), m_versionLabel});
    section->group()->addRow(
        {new QLabel(tr("Build"), section), SettingsGroup::stretch(), m_buildLabel});
    auto *checkButton = new QPushButton(tr("Check for Updates..."), section);
    checkButton->setAccessibleName(tr("Check for Updates..."));
    section->group()->addRow({checkButton, SettingsGroup::stretch()});
    content->layout()->addWidget(section);
    connect(checkButton, &QPushButton::clicked, this, [this] { m_checkForUpdates(); });
}

void SettingsView::setStartAtLogin(std::function<bool()> isEnabled,
                                   std::function<bool(bool)> setEnabled)
{
    m_startAtLoginEnabled = std::move(isEnabled);
    m_setStartAtLogin = std::move(setEnabled);
    if (!m_startAtLoginSwitch) {
        auto *section = new SettingsSection(tr("General"), m_content);
        m_startAtLoginSwitch = new ToggleSwitch(section);
        m_startAtLoginSwitch->setAccessibleName(tr("Start at Login"));
        auto *label = new QLabel(tr("Start at Login"), section);
        label->installEventFilter(new TitleClick(m_startAtLoginSwitch, label));
        section->group()->addRow({label, SettingsGroup::stretch(), m_startAtLoginSwitch});
        // First: without a tray this is the only place for it.
        qobject_cast<QVBoxLayout *>(m_content->layout())->insertWidget(0, section);
        connect(m_startAtLoginSwitch, &QAbstractButton::toggled, this, [this](bool checked) {
            if (!m_startAtLoginEnabled || checked == m_startAtLoginEnabled())
                return;
            m_setStartAtLogin(checked);
            refreshStartAtLogin();
        });
    }
    refreshStartAtLogin();
}

void SettingsView::refreshStartAtLogin()
{
    if (!m_startAtLoginSwitch || !m_startAtLoginEnabled)
        return;
    // No write follows: the switch's handler sees that it now matches the setting.
    m_startAtLoginSwitch->setChecked(m_startAtLoginEnabled());
}

void SettingsView::refresh()
{
    m_desktopSwitch->setChecked(m_appState.includeDesktop());
    m_downloadsSwitch->setChecked(m_appState.includeDownloads());
    refreshFolderRows();

    const QString keptFiles =
        FolderDisplay::abbreviatedPath(QUrl::fromLocalFile(m_appState.keptFilesPath()));
    m_keptFilesLabel->setText(keptFiles);
    m_keptFilesLabel->setToolTip(m_appState.keptFilesPath());

    const BuildInfo build = BuildInfo::current();
    m_versionLabel->setText(tr("v%1").arg(build.appVersion));
    m_buildLabel->setText(build.buildNumber);
}
