// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ThumbnailCache.h"
#include "ThumbnailerSandbox.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// One of the thumbnailers the desktop registers in <data dir>/thumbnailers/*.thumbnailer.
struct DesktopThumbnailer
{
    QString id; // the file name without .thumbnailer; a user's file of the same name wins
    QString file;
    QString tryExec;
    QString exec;
    QStringList mimeTypes;
};

// The registered thumbnailers, and the one a MIME type gets: registered for the type itself,
// else for the nearest type it derives from (an office document is a zip, but a zip
// thumbnailer comes after any registered for the document's own type). A thumbnailer whose
// TryExec (or Exec) program is not installed is skipped.
class DesktopThumbnailers final
{
public:
    // $XDG_DATA_HOME/thumbnailers, then those of $XDG_DATA_DIRS, first ones first.
    static QStringList searchFolders();
    static std::optional<DesktopThumbnailer> parse(const QString &file);

    explicit DesktopThumbnailers(const QStringList &folders = searchFolders());

    // Those of searchFolders(), as they were when first asked for. Reads files: never call it on
    // the GUI thread.
    static const DesktopThumbnailers &registered();

    const QList<DesktopThumbnailer> &all() const { return m_thumbnailers; }
    std::optional<DesktopThumbnailer> forMimeType(const QString &mimeType) const;

    // The thumbnail of one flavour for the file open on `fd`: from the shared cache when it
    // is there for this version of the file; else made by the thumbnailer (in its sandbox)
    // and written to the cache, or a failure recorded there so it is not tried again. `path`
    // only names the cache entry: it is never opened. Null when there is none.
    QImage thumbnail(const QString &path, int fd, const QString &mimeType,
                     ThumbnailCache::Flavor flavor, const ThumbnailCache &cache,
                     const ThumbnailerSandbox::Options &options = {}) const;

    // A picture at any size (the preview card's), not cached: the cache holds its two sizes.
    ThumbnailerSandbox::Result picture(int fd, const QString &mimeType,
                                       const ThumbnailerSandbox::Options &options) const;

private:
    QList<DesktopThumbnailer> m_thumbnailers;
};
