// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReleaseNotesView.h"

#include "ReleaseNotesHtml.h"

#include <QDesktopServices>

using namespace Qt::StringLiterals;

ReleaseNotesView::ReleaseNotesView(const QString &notes, QWidget *parent)
    : QTextBrowser(parent)
{
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [](const QUrl &url) {
        if (url.scheme() == u"https"_s)
            QDesktopServices::openUrl(url);
    });
    if (Qt::mightBeRichText(notes))
        setHtml(ReleaseNotesHtml::sanitised(notes));
    else
        setPlainText(notes);
}

QVariant ReleaseNotesView::loadResource(int, const QUrl &)
{
    // An empty answer that is not null: the document then reads no file or data: URL itself.
    return QByteArray();
}
