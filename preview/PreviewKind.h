// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QMimeType;

// Which previewer shows a file that is not opened as a zoomable image.
enum class PreviewKind { Pdf, Image, Video, Audio, Text, InfoCard };

PreviewKind previewKindFor(const QMimeType &mime);
