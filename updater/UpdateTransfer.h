// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "UpdateProblem.h"
#include "UpdateUrlPolicy.h"

#include <QByteArrayView>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <chrono>
#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// One GET for the updater, with the safety rules every update request follows: only
// addresses the policy allows, the same for every redirect before it is followed, a time
// limit, a size limit, and an end as soon as the server answers with an error status.
class UpdateTransfer final : public QObject
{
    Q_OBJECT

public:
    // Receives the body piece by piece; returning a problem stops the transfer.
    using Sink = std::function<std::optional<UpdateProblem::Kind>(QByteArrayView)>;

    struct Limits
    {
        std::chrono::milliseconds timeout;
        bool timeoutRestartsOnData = false; // false: the whole transfer must fit in timeout
        qint64 maxBytes = 0;                // more than this stops with TooLarge
    };

    UpdateTransfer(QNetworkAccessManager &network, QUrl url, UpdateUrlPolicy policy, Limits limits,
                   Sink sink, QObject *parent = nullptr);
    ~UpdateTransfer() override;

    // Sends the request; a refused address is returned at once and nothing is sent.
    std::optional<UpdateProblem::Kind> start();
    // Stops without sending failed().
    void cancel();

    qint64 bytesReceived() const { return m_received; }

signals:
    void succeeded();
    void failed(UpdateProblem::Kind problem);

private:
    void onRedirected(const QUrl &target);
    void onMetaDataChanged();
    void onReadyRead();
    void onFinished();
    void stop(UpdateProblem::Kind problem);
    void dropReply();
    bool isSuccessStatus() const;
    bool isErrorStatus() const;

    QNetworkAccessManager &m_network;
    const QUrl m_url;
    const UpdateUrlPolicy m_policy;
    const Limits m_limits;
    const Sink m_sink;
    QNetworkReply *m_reply = nullptr; // owned by the network manager, released with deleteLater
    QTimer m_timer;
    qint64 m_received = 0;
};
