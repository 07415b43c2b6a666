// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdaterController.h"

#include "AppcastParser.h"
#include "UpdateDownload.h"
#include "UpdateTransfer.h"
#include "UpdaterUi.h"
#include "VersionComparison.h"

#include <QNetworkAccessManager>

UpdaterController::UpdaterController(UpdaterSettings settings, std::unique_ptr<UpdaterUi> ui,
                                     QObject *parent)
    : QObject(parent)
    , m_settings(std::move(settings))
    , m_ui(std::move(ui))
{
    connect(m_ui.get(), &UpdaterUi::downloadRequested, this,
            &UpdaterController::onDownloadRequested);
    connect(m_ui.get(), &UpdaterUi::closed, this, &UpdaterController::onUiClosed);
}

UpdaterController::~UpdaterController()
{
    // The partial download is deleted before the network manager goes.
    releaseDownload();
    releaseTransfer();
}

void UpdaterController::checkForUpdates()
{
    if (m_state == State::Checking || m_state == State::Downloading) {
        m_ui->raiseCurrent();
        return;
    }
    m_offer.reset();
    m_state = State::Idle;
    if (m_settings.feedUrl.isEmpty()) {
        m_ui->showPackageManaged();
        return;
    }

    m_feed.clear();
    const UpdateTransfer::Limits limits{m_settings.timeout, false, maxFeedBytes};
    m_feedTransfer = new UpdateTransfer(
        network(), m_settings.feedUrl, UpdateUrlPolicy(m_settings.feedUrl), limits,
        [this](QByteArrayView piece) -> std::optional<UpdateProblem::Kind> {
            m_feed.append(piece);
            return std::nullopt;
        },
        this);
    connect(m_feedTransfer, &UpdateTransfer::succeeded, this, &UpdaterController::onFeedReceived);
    connect(m_feedTransfer, &UpdateTransfer::failed, this, &UpdaterController::fail);
    if (const auto problem = m_feedTransfer->start()) {
        releaseTransfer();
        m_ui->showError(*problem);
        return;
    }
    m_state = State::Checking;
    m_ui->showChecking();
}

QNetworkAccessManager &UpdaterController::network()
{
    if (m_network == nullptr)
        m_network = new QNetworkAccessManager(this);
    return *m_network;
}

void UpdaterController::onFeedReceived()
{
    releaseTransfer();
    const AppcastParser::Result feed = AppcastParser::parse(m_feed);
    m_feed.clear();
    const AppcastItem *newest = newestItem(feed.items);
    if (!feed.isFeed() || newest == nullptr)
        return fail(UpdateProblem::Kind::NotAFeed);
    if (compareVersions(newest->version, m_settings.runningVersion) <= 0) {
        m_state = State::Idle;
        m_ui->showUpToDate(m_settings.runningVersion);
        return;
    }
    AppcastItem offer = *newest;
    // Feeds may give addresses relative to themselves.
    offer.enclosureUrl = m_settings.feedUrl.resolved(offer.enclosureUrl);
    if (!offer.releaseNotesLink.isEmpty())
        offer.releaseNotesLink = m_settings.feedUrl.resolved(offer.releaseNotesLink);
    m_offer = std::move(offer);
    m_state = State::Offering;
    m_ui->showUpdate(*m_offer, m_settings.runningVersion);
}

void UpdaterController::onDownloadRequested()
{
    if (m_state != State::Offering || !m_offer)
        return;
    UpdateDownload::Request request;
    request.url = m_offer->enclosureUrl;
    request.urlPolicy = UpdateUrlPolicy(m_settings.feedUrl);
    request.length = m_offer->enclosureLength;
    request.signature = m_offer->edSignature.toLatin1();
    request.publicKey = m_settings.publicKey;
    request.stallTimeout = m_settings.timeout;
    m_download = new UpdateDownload(network(), request, this);
    connect(m_download, &UpdateDownload::progressed, m_ui.get(), &UpdaterUi::showDownloading);
    connect(m_download, &UpdateDownload::failed, this, &UpdaterController::fail);
    connect(m_download, &UpdateDownload::succeeded, this, [this](const QString &filePath) {
        releaseDownload();
        m_offer.reset();
        m_state = State::Idle;
        m_ui->showDownloaded(filePath);
    });
    if (const auto problem = m_download->start())
        return fail(*problem);
    m_state = State::Downloading;
    m_ui->showDownloading(0, request.length);
}

void UpdaterController::onUiClosed()
{
    releaseTransfer();
    releaseDownload();
    m_offer.reset();
    m_state = State::Idle;
}

void UpdaterController::fail(UpdateProblem::Kind problem)
{
    releaseTransfer();
    releaseDownload();
    m_offer.reset();
    m_state = State::Idle;
    m_ui->showError(problem);
}

void UpdaterController::releaseTransfer()
{
    if (m_feedTransfer == nullptr)
        return;
    m_feedTransfer->cancel();
    m_feedTransfer->disconnect(this);
    m_feedTransfer->deleteLater();
    m_feedTransfer = nullptr;
}

void UpdaterController::releaseDownload()
{
    if (m_download == nullptr)
        return;
    m_download->cancel();
    m_download->disconnect(this);
    m_download->deleteLater();
    m_download = nullptr;
}
