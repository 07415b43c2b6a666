// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdateDownload.h"

#include "DownloadFileName.h"
#include "Ed25519Verifier.h"
#include "FileNames.h"
#include "PartialDownloadFile.h"
#include "UpdateTransfer.h"
#include "UserFolders.h"

#include <QDir>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

// Gives up looking for a free " (N)" name after this many taken ones.
constexpr int maxNumberedNames = 999;

std::optional<QByteArray> decodeBase64(const QByteArray &text, qsizetype expectedSize)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(text.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != expectedSize)
        return std::nullopt;
    return decoded.decoded;
}

} // namespace

UpdateDownload::UpdateDownload(QNetworkAccessManager &network, Request request, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_request(std::move(request))
{}

UpdateDownload::~UpdateDownload() = default;

QString UpdateDownload::downloadFolder()
{
    // A desktop that sets its Downloads folder to the home folder downloads into the home.
    const QString folder = UserFolders::downloads();
    return folder.isEmpty() ? QDir::homePath() : folder;
}

std::optional<UpdateProblem::Kind> UpdateDownload::start()
{
    const auto key = decodeBase64(m_request.publicKey, Ed25519Verifier::publicKeySize);
    const auto signature = decodeBase64(m_request.signature, Ed25519Verifier::signatureSize);
    // Without a key, a signature and a length the file could not be checked: don't fetch it.
    if (!key || !signature || m_request.length <= 0)
        return UpdateProblem::Kind::NotVerifiable;
    if (m_request.length > maxLength)
        return UpdateProblem::Kind::DownloadTooLarge;
    m_rawPublicKey = *key;
    m_rawSignature = *signature;

    m_folder = downloadFolder();
    m_fileName = DownloadFileName::fromUrl(m_request.url);
    if (!QDir().mkpath(m_folder))
        return UpdateProblem::Kind::CannotSave;
    m_file = std::make_unique<PartialDownloadFile>();
    if (m_file->create(m_folder) != 0) {
        m_file.reset();
        return UpdateProblem::Kind::CannotSave;
    }

    const UpdateTransfer::Limits limits{m_request.stallTimeout, true, m_request.length};
    m_transfer = new UpdateTransfer(
        m_network, m_request.url, m_request.urlPolicy, limits,
        [this](QByteArrayView piece) -> std::optional<UpdateProblem::Kind> {
            if (!m_file->write(piece))
                return UpdateProblem::Kind::CannotSave;
            emit progressed(m_transfer->bytesReceived(), m_request.length);
            return std::nullopt;
        },
        this);
    connect(m_transfer, &UpdateTransfer::succeeded, this, &UpdateDownload::onTransferSucceeded);
    connect(m_transfer, &UpdateTransfer::failed, this, [this](UpdateProblem::Kind problem) {
        // More bytes than the feed announced is a length mismatch, not an oversized feed.
        finishWith(problem == UpdateProblem::Kind::TooLarge ? UpdateProblem::Kind::LengthMismatch
                                                            : problem);
    });
    if (const auto problem = m_transfer->start()) {
        m_file.reset();
        return problem;
    }
    return std::nullopt;
}

void UpdateDownload::cancel()
{
    if (m_transfer != nullptr) {
        m_transfer->cancel();
        m_transfer->deleteLater();
        m_transfer = nullptr;
    }
    m_file.reset(); // removes the partial file, if it has a name at all
}

void UpdateDownload::onTransferSucceeded()
{
    if (m_file->size() != m_request.length)
        return finishWith(UpdateProblem::Kind::LengthMismatch);
    if (!signatureMatches())
        return finishWith(UpdateProblem::Kind::SignatureMismatch);
    const std::optional<QString> path = m_file->place(
        [this](int number) { return FileNames::clashName(m_fileName, number); }, maxNumberedNames);
    if (!path)
        return finishWith(UpdateProblem::Kind::CannotSave);
    m_file.reset();
    m_transfer->deleteLater();
    m_transfer = nullptr;
    emit succeeded(*path);
}

void UpdateDownload::finishWith(UpdateProblem::Kind problem)
{
    cancel();
    emit failed(problem);
}

bool UpdateDownload::signatureMatches()
{
    return m_file->inspect([this](QByteArrayView content) {
        return Ed25519Verifier::verify(m_rawPublicKey, m_rawSignature, content);
    });
}
