// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QString>

// What can stop an update check or a download, each with a message in plain words.
class UpdateProblem final
{
    Q_GADGET
    Q_DECLARE_TR_FUNCTIONS(UpdateProblem)

public:
    enum class Kind {
        NoNetwork,
        Timeout,
        ServerError,
        InsecureConnection,
        InsecureAddress,
        NotAFeed,
        TooLarge,
        DownloadTooLarge,
        NotVerifiable,
        LengthMismatch,
        SignatureMismatch,
        CannotSave,
    };
    Q_ENUM(Kind)

    static QString message(Kind kind);
};
