// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdateAvailableDialog.h"

#include "AppcastItem.h"
#include "ReleaseNotesView.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

UpdateAvailableDialog::UpdateAvailableDialog(const AppcastItem &item, const QString &runningVersion,
                                             QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(tr("Software Update"));
    auto *layout = new QVBoxLayout(this);

    auto *heading = new QLabel(tr("A newer version of Mirel is available"), this);
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    heading->setFont(headingFont);
    layout->addWidget(heading);
    auto *versions = new QLabel(tr("Mirel %1 is available. You have version %2.")
                                    .arg(item.displayVersion(), runningVersion),
                                this);
    versions->setTextFormat(Qt::PlainText);
    layout->addWidget(versions);

    if (!item.description.isEmpty()) {
        auto *notes = new ReleaseNotesView(item.description, this);
        notes->setMinimumSize(420, 220);
        layout->addWidget(notes);
    } else if (item.releaseNotesLink.scheme() == u"https"_s) {
        const QString href = item.releaseNotesLink.toString(QUrl::FullyEncoded).toHtmlEscaped();
        auto *link = new QLabel(u"<a href=\""_s + href + u"\">"_s +
                                    tr("Read the release notes").toHtmlEscaped() + u"</a>"_s,
                                this);
        link->setTextFormat(Qt::RichText);
        link->setOpenExternalLinks(true);
        layout->addWidget(link);
    }

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *download = buttons->addButton(tr("Download"), QDialogButtonBox::AcceptRole);
    buttons->addButton(tr("Not Now"), QDialogButtonBox::RejectRole);
    download->setDefault(true);
    // The download dialog takes this one's place, so Download does not close it here.
    connect(download, &QPushButton::clicked, this, &UpdateAvailableDialog::downloadRequested);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}
