// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppcastItem.h"
#include "UpdateProblem.h"
#include "UpdaterSettings.h"

#include <QByteArray>
#include <QObject>

#include <memory>
#include <optional>

class QNetworkAccessManager;
class UpdateDownload;
class UpdateTransfer;
class UpdaterUi;

// Mirel's updater. It contacts the network only when the user asks for a check; it never
// checks on its own. One check or download runs at a time.
class UpdaterController final : public QObject
{
    Q_OBJECT

public:
    // Feeds larger than this are not read further.
    static constexpr qint64 maxFeedBytes = 1024 * 1024;

    UpdaterController(UpdaterSettings settings, std::unique_ptr<UpdaterUi> ui,
                      QObject *parent = nullptr);
    ~UpdaterController() override;

    // A user-initiated check. While a check or a download runs, its dialog comes forward
    // and nothing new starts.
    void checkForUpdates();

private:
    enum class State { Idle, Checking, Offering, Downloading };

    QNetworkAccessManager &network();
    void onFeedReceived();
    void onDownloadRequested();
    void onUiClosed();
    void fail(UpdateProblem::Kind problem);
    void releaseTransfer();
    void releaseDownload();

    const UpdaterSettings m_settings;
    const std::unique_ptr<UpdaterUi> m_ui;
    QNetworkAccessManager *m_network = nullptr; // child, created with the first check
    UpdateTransfer *m_feedTransfer = nullptr;   // child, released with deleteLater
    UpdateDownload *m_download = nullptr;       // child, released with deleteLater
    QByteArray m_feed;
    std::optional<AppcastItem> m_offer;
    State m_state = State::Idle;
};
