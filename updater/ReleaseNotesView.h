// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTextBrowser>

// Shows a release's notes, given as plain text or simple HTML from the update feed. The notes
// come from the network, so they are shown from a rebuilt document that refers to nothing
// (see ReleaseNotesHtml), nothing is ever loaded for them, and only https links open.
class ReleaseNotesView final : public QTextBrowser
{
    Q_OBJECT

public:
    explicit ReleaseNotesView(const QString &notes, QWidget *parent = nullptr);

    QVariant loadResource(int type, const QUrl &name) override;
};
