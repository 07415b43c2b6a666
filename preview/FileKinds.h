// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Classification of a file by its lower-cased name extension alone: these never open the file,
// never ask whether it exists and never look at its content.

// The extensions shown by ZoomableImageView, in order of precedence.
const QStringList &imageExtensions();

// The extension of the last path component (FileNames::extension), lower-cased. A trailing "/"
// (a folder URL) is ignored, so "Tool.app/" gives "app".
QString lowerCasedPathExtension(const QUrl &url);

// The symbol name that stands for the file's kind, e.g. "photo.fill", "doc.zipper".
QString iconName(const QUrl &url);

// True when the file is previewed as a zoomable image rather than by FilePreviewView.
bool isZoomableImage(const QUrl &url);
bool isZoomableImage(const QString &path);
