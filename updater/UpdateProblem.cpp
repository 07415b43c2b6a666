// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdateProblem.h"

QString UpdateProblem::message(Kind kind)
{
    switch (kind) {
    case Kind::NoNetwork:
        return tr("Mirel could not reach the update server. Check your network connection and "
                  "try again.");
    case Kind::Timeout:
        return tr("The update server did not answer in time. Try again later.");
    case Kind::ServerError:
        return tr("The update server reported an error. Try again later.");
    case Kind::InsecureConnection:
        return tr("Mirel could not establish a secure connection to the update server.");
    case Kind::InsecureAddress:
        return tr("The update server pointed to an address that is not secure, so Mirel "
                  "stopped.");
    case Kind::NotAFeed:
        return tr("The update server did not send a list of Mirel versions.");
    case Kind::TooLarge:
        return tr("The update server sent far more data than a list of versions needs, so "
                  "Mirel stopped reading it.");
    case Kind::DownloadTooLarge:
        return tr("The update is larger than 1 GiB, far more than Mirel needs, so Mirel did "
                  "not download it.");
    case Kind::NotVerifiable:
        return tr("This update cannot be verified, so Mirel did not download it.");
    case Kind::LengthMismatch:
        return tr("The downloaded file does not have the expected size. Mirel deleted it.");
    case Kind::SignatureMismatch:
        return tr("The downloaded file is not signed by the Mirel developers. Mirel deleted "
                  "it.");
    case Kind::CannotSave:
        return tr("Mirel could not save the download in your Downloads folder. Check that "
                  "there is enough free space.");
    }
    return {};
}
