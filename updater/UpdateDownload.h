// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "UpdateProblem.h"
#include "UpdateUrlPolicy.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>

#include <chrono>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class PartialDownloadFile;
class UpdateTransfer;

// Saves an update into the user's Downloads folder. The file is written without a name
// (see PartialDownloadFile), so neither the review list nor the user sees it half-written,
// and gets its own name only after its length and Ed25519 signature are verified; any
// failure deletes it. An existing file is never replaced.
class UpdateDownload final : public QObject
{
    Q_OBJECT

public:
    // A feed announcing a larger download is not followed: it could fill the disk.
    static constexpr qint64 maxLength = qint64(1) << 30;

    struct Request
    {
        QUrl url;
        UpdateUrlPolicy urlPolicy = UpdateUrlPolicy(QUrl());
        qint64 length = -1;
        QByteArray signature; // base64, as in the feed
        QByteArray publicKey; // base64 of the raw key
        std::chrono::milliseconds stallTimeout{15000};
    };

    UpdateDownload(QNetworkAccessManager &network, Request request, QObject *parent = nullptr);
    ~UpdateDownload() override;

    // Checks that the download can be verified and starts it; a problem found before any
    // request is returned at once.
    std::optional<UpdateProblem::Kind> start();
    // Stops and deletes what was written, without sending failed().
    void cancel();

    // The user's Downloads folder (UserFolders); the home folder when the desktop sets none.
    static QString downloadFolder();

signals:
    void progressed(qint64 received, qint64 total);
    void succeeded(const QString &filePath);
    void failed(UpdateProblem::Kind problem);

private:
    void onTransferSucceeded();
    void finishWith(UpdateProblem::Kind problem);
    bool signatureMatches();

    QNetworkAccessManager &m_network;
    const Request m_request;
    QByteArray m_rawSignature;
    QByteArray m_rawPublicKey;
    QString m_folder;
    QString m_fileName;
    std::unique_ptr<PartialDownloadFile> m_file;
    UpdateTransfer *m_transfer = nullptr; // child, released with deleteLater
};
