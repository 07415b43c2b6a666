// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSet>
#include <QString>

class QMimeType;

// Which previewer shows a file that is not opened as a zoomable image.
// InfoCard: none of Mirel's own; the desktop's thumbnailer for the type (or a font sample) may
// still give the card a picture.
enum class PreviewKind { Pdf, Image, Video, Audio, Text, Archive, InfoCard };

PreviewKind previewKindFor(const QMimeType &mime);

// The archives whose entries are listed: zip, tar (plain or compressed), 7z, rar and Debian
// packages, by their own type only. An office document or an e-book is a zip too, but a list of
// its parts says nothing to the person deciding on it.
bool isListedArchive(const QMimeType &mime);

// The picture types that Qt's own readers and the installed image plugins read, as
// QImageReader::supportedMimeTypes() gives them, but found without loading the plugins.
QSet<QString> readableImageTypes();
