// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdateTransfer.h"

#include "MirelVersion.h"
#include "UpdateUrlPolicy.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

constexpr int maxRedirects = 5;
// Keeps Qt from buffering more than this ahead of the size check.
constexpr qint64 readBufferSize = 256 * 1024;

UpdateProblem::Kind problemFor(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
        return UpdateProblem::Kind::NoNetwork;
    case QNetworkReply::SslHandshakeFailedError:
        return UpdateProblem::Kind::InsecureConnection;
    case QNetworkReply::InsecureRedirectError:
    case QNetworkReply::ProtocolUnknownError: // a redirect to a scheme such as file:
        return UpdateProblem::Kind::InsecureAddress;
    default:
        return UpdateProblem::Kind::ServerError;
    }
}

} // namespace

UpdateTransfer::UpdateTransfer(QNetworkAccessManager &network, QUrl url, UpdateUrlPolicy policy,
                               Limits limits, Sink sink, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_url(std::move(url))
    , m_policy(policy)
    , m_limits(limits)
    , m_sink(std::move(sink))
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { stop(UpdateProblem::Kind::Timeout); });
}

UpdateTransfer::~UpdateTransfer()
{
    dropReply();
}

std::optional<UpdateProblem::Kind> UpdateTransfer::start()
{
    if (!m_policy.allows(m_url))
        return UpdateProblem::Kind::InsecureAddress;

    QNetworkRequest request(m_url);
    // Every redirect comes to onRedirected first, so a refused one is never connected to.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(maxRedirects);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray("Mirel/" MIREL_VERSION));
    m_reply = m_network.get(request);
    m_reply->setReadBufferSize(readBufferSize);
    connect(m_reply, &QNetworkReply::redirected, this, &UpdateTransfer::onRedirected);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &UpdateTransfer::onMetaDataChanged);
    connect(m_reply, &QNetworkReply::readyRead, this, &UpdateTransfer::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateTransfer::onFinished);
    m_timer.start(m_limits.timeout);
    return std::nullopt;
}

void UpdateTransfer::cancel()
{
    m_timer.stop();
    dropReply();
}

void UpdateTransfer::onRedirected(const QUrl &target)
{
    if (m_policy.allows(m_reply->url().resolved(target)))
        emit m_reply->redirectAllowed();
    else
        stop(UpdateProblem::Kind::InsecureAddress);
}

void UpdateTransfer::onMetaDataChanged()
{
    // An error page is not the body we asked for, and a server could keep one coming for
    // ever: the status alone decides.
    if (isErrorStatus())
        return stop(UpdateProblem::Kind::ServerError);
    if (!isSuccessStatus())
        return;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    // A body announced as too large is refused before any of it is read.
    if (length.isValid() && length.toLongLong() > m_limits.maxBytes)
        stop(UpdateProblem::Kind::TooLarge);
}

void UpdateTransfer::onReadyRead()
{
    if (isErrorStatus())
        return stop(UpdateProblem::Kind::ServerError);
    if (!isSuccessStatus()) {
        // The body of a redirect or other answer that is not the file: dropped, and it does
        // not count as progress; onFinished reports the status.
        m_reply->skip(m_reply->bytesAvailable());
        return;
    }
    if (m_limits.timeoutRestartsOnData)
        m_timer.start(m_limits.timeout);
    while (m_reply != nullptr && m_reply->bytesAvailable() > 0) {
        const qint64 room = m_limits.maxBytes - m_received;
        if (room <= 0) {
            stop(UpdateProblem::Kind::TooLarge);
            return;
        }
        const QByteArray piece = m_reply->read(std::min(room, m_reply->bytesAvailable()));
        m_received += piece.size();
        if (const auto problem = m_sink(piece)) {
            stop(*problem);
            return;
        }
    }
}

void UpdateTransfer::onFinished()
{
    if (m_reply == nullptr)
        return;
    onReadyRead(); // what arrived with the end of the reply
    if (m_reply == nullptr)
        return;
    m_timer.stop();
    const QNetworkReply::NetworkError error = m_reply->error();
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    dropReply();
    if (error == QNetworkReply::NoError && status.toInt() >= 200 && status.toInt() < 300) {
        emit succeeded();
        return;
    }
    if (error == QNetworkReply::NoError || (status.isValid() && status.toInt() >= 400))
        emit failed(UpdateProblem::Kind::ServerError);
    else
        emit failed(problemFor(error));
}

void UpdateTransfer::stop(UpdateProblem::Kind problem)
{
    m_timer.stop();
    dropReply();
    emit failed(problem);
}

void UpdateTransfer::dropReply()
{
    if (m_reply == nullptr)
        return;
    QNetworkReply *reply = std::exchange(m_reply, nullptr);
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

bool UpdateTransfer::isSuccessStatus() const
{
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return !status.isValid() || (status.toInt() >= 200 && status.toInt() < 300);
}

bool UpdateTransfer::isErrorStatus() const
{
    const QVariant status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // Anything but a success or a redirect: 4xx, 5xx and codes no server should send.
    return status.isValid() && (status.toInt() < 200 || status.toInt() >= 400);
}
