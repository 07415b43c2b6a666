// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdaterDialogs.h"

#include "UpdateAvailableDialog.h"
#include "UpdaterSettings.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProgressDialog>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// QProgressDialog counts in int; kibibytes keep large downloads in range.
int toProgressUnits(qint64 bytes)
{
    return static_cast<int>(std::clamp<qint64>(bytes / 1024, 0, INT_MAX));
}

} // namespace

UpdaterDialogs::UpdaterDialogs(QObject *parent)
    : UpdaterUi(parent)
{}

UpdaterDialogs::~UpdaterDialogs()
{
    dismissCurrent();
}

void UpdaterDialogs::showChecking()
{
    QProgressDialog *progress = showProgress(tr("Checking for updates…"));
    progress->setRange(0, 0); // busy: a check has no measurable progress
}

void UpdaterDialogs::showPackageManaged()
{
    if (UpdaterSettings::isPackaged(QCoreApplication::applicationDirPath())) {
        showMessage(QMessageBox::Information, tr("Updates come from your package manager"),
                    tr("Newer versions of Mirel arrive with your system's software updates."));
        return;
    }
    showMessage(QMessageBox::Information, tr("No automatic updates"),
                tr("This copy of Mirel was built from source; get the new version the same way "
                   "you got this one."));
}

void UpdaterDialogs::showUpToDate(const QString &runningVersion)
{
    showMessage(QMessageBox::Information, tr("Mirel is up to date"),
                tr("Mirel %1 is the newest version available.").arg(runningVersion));
}

void UpdaterDialogs::showUpdate(const AppcastItem &item, const QString &runningVersion)
{
    auto *dialog = new UpdateAvailableDialog(item, runningVersion);
    connect(dialog, &UpdateAvailableDialog::downloadRequested, this, &UpdaterUi::downloadRequested);
    present(dialog);
}

void UpdaterDialogs::showDownloading(qint64 received, qint64 total)
{
    if (m_downloadProgress == nullptr || m_current != m_downloadProgress.data())
        m_downloadProgress = showProgress(tr("Downloading the update…"));
    m_downloadProgress->setMaximum(toProgressUnits(total));
    m_downloadProgress->setValue(toProgressUnits(received));
}

void UpdaterDialogs::showDownloaded(const QString &filePath)
{
    const QFileInfo file(filePath);
    showMessage(QMessageBox::Information, tr("The update has been downloaded"),
                tr("It was saved as %1 in %2. Install it with your package manager or by "
                   "opening it.")
                    .arg(file.fileName(), file.absolutePath()));
    QDesktopServices::openUrl(QUrl::fromLocalFile(file.absolutePath()));
}

void UpdaterDialogs::showError(UpdateProblem::Kind problem)
{
    showMessage(QMessageBox::Warning, tr("Software update failed"),
                UpdateProblem::message(problem));
}

void UpdaterDialogs::raiseCurrent()
{
    if (m_current == nullptr)
        return;
    m_current->show();
    m_current->raise();
    m_current->activateWindow();
}

void UpdaterDialogs::present(QDialog *dialog)
{
    dismissCurrent();
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::NonModal);
    m_current = dialog;
    connect(dialog, &QDialog::finished, this, [this, dialog] { onUserClosed(dialog); });
    raiseCurrent();
}

void UpdaterDialogs::showMessage(QMessageBox::Icon icon, const QString &text,
                                 const QString &details)
{
    auto *box = new QMessageBox(icon, tr("Software Update"), text, QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    // Details can hold names from the network; a leading tag makes Qt show them literally.
    box->setInformativeText(u"<p>"_s + details.toHtmlEscaped() + u"</p>"_s);
    present(box);
}

QProgressDialog *UpdaterDialogs::showProgress(const QString &label)
{
    auto *progress = new QProgressDialog(label, tr("Cancel"), 0, 0);
    progress->setWindowTitle(tr("Software Update"));
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    // Cancel only hides a progress dialog; it counts as closing it.
    connect(progress, &QProgressDialog::canceled, this,
            [this, progress] { onUserClosed(progress); });
    present(progress);
    return progress;
}

void UpdaterDialogs::onUserClosed(QDialog *dialog)
{
    if (m_current != dialog)
        return;
    m_current = nullptr;
    dialog->deleteLater();
    emit closed();
}

void UpdaterDialogs::dismissCurrent()
{
    if (m_current == nullptr)
        return;
    QDialog *dialog = m_current;
    m_current = nullptr;
    dialog->disconnect(this);
    dialog->close();
    dialog->deleteLater();
}
