// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringView>

// Release notes from the feed, rebuilt from what Mirel shows of them: text, paragraphs,
// headings, lists, simple emphasis and https links. Every other element and every attribute
// but a link's https address is dropped (the text inside is kept; scripts, styles and titles
// go whole), so the result refers to no image, style sheet or other resource and Qt's rich
// text engine finds nothing to load.
namespace ReleaseNotesHtml {

QString sanitised(QStringView html);

} // namespace ReleaseNotesHtml
