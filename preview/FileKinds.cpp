// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileKinds.h"

#include "FileNames.h"

#include <array>

using namespace Qt::StringLiterals;

namespace {

struct SymbolRow
{
    QStringList extensions;
    QString symbol;
};

// First match wins; the order of the rows is part of the rule.
const std::array<SymbolRow, 7> &symbolTable()
{
    static const std::array<SymbolRow, 7> table{{
        {{u"pdf"_s}, u"doc.fill"_s},
        {{u"png"_s, u"jpg"_s, u"jpeg"_s, u"gif"_s, u"heic"_s, u"webp"_s}, u"photo.fill"_s},
        {{u"mp4"_s, u"mov"_s, u"avi"_s, u"mkv"_s}, u"video.fill"_s},
        {{u"mp3"_s, u"wav"_s, u"aac"_s, u"m4a"_s}, u"music.note"_s},
        {{u"zip"_s, u"rar"_s, u"7z"_s, u"tar"_s, u"gz"_s}, u"doc.zipper"_s},
        {{u"dmg"_s}, u"externaldrive.fill"_s},
        {{u"app"_s}, u"app.fill"_s},
    }};
    return table;
}

} // namespace

const QStringList &imageExtensions()
{
    static const QStringList extensions{u"png"_s,  u"jpg"_s,  u"jpeg"_s, u"gif"_s,
                                        u"heic"_s, u"webp"_s, u"tiff"_s, u"bmp"_s};
    return extensions;
}

QString lowerCasedPathExtension(const QUrl &url)
{
    return FileNames::extension(FileNames::lastPathComponent(url.path())).toLower();
}

QString iconName(const QUrl &url)
{
    const QString extension = lowerCasedPathExtension(url);
    for (const SymbolRow &row : symbolTable()) {
        if (row.extensions.contains(extension))
            return row.symbol;
    }
    return u"doc.fill"_s;
}

bool isZoomableImage(const QUrl &url)
{
    return imageExtensions().contains(lowerCasedPathExtension(url));
}

bool isZoomableImage(const QString &path)
{
    return isZoomableImage(QUrl::fromLocalFile(path));
}
