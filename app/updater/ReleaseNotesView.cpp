#include "ReleaseNotesView.h"

#include <QDesktopServices>

using namespace Qt::StringLiterals;

ReleaseNotesView::ReleaseNotesView(const QString &notes, QWidget *parent)
    : QTextBrowser(parent)
{
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [](const QUrl &url) {
        if (url.scheme() == u"https"_s || url.scheme() == u"http"_s)
            QDesktopServices::openUrl(url);
    });
    if (Qt::mightBeRichText(notes))
        setHtml(notes);
    else
        setPlainText(notes);
}

QVariant ReleaseNotesView::loadResource(int, const QUrl &)
{
    return {};
}
