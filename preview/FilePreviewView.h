// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreviewFile.h"

#include <QMimeType>
#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <cstdint>

class QVBoxLayout;

// Shows any file that is not opened as a zoomable image: PDF pages, text, audio and
// video, other images Qt can read, what an archive holds, the picture a desktop thumbnailer (or
// Mirel's font sample) makes of other kinds, and an information card for everything else.
// The file is looked at off the main thread first (only a regular file is opened, see
// PreviewFile); the previewer is then chosen by MIME type, and replaced whenever the URL
// changes. One that cannot show its file gives way to the information card, as do empty files.
class FilePreviewView final : public QWidget
{
    Q_OBJECT

public:
    // With `informationCardOnly`, the first URL gets the information card whatever its type
    // (a picture that could not be decoded).
    explicit FilePreviewView(const QUrl &url, QWidget *parent = nullptr,
                             bool informationCardOnly = false);
    ~FilePreviewView() override;

    // Told again on every update; the same URL keeps the current previewer.
    void setUrl(const QUrl &url);
    QUrl url() const { return m_url; }

    // The previewer showing the current URL (for tests and screenshots); null while the
    // file is still being looked at.
    QWidget *currentPreview() const { return m_preview; }

signals:
    // A new previewer took the place of the previous one.
    void previewChanged(QWidget *preview);

private:
    struct Probe
    {
        PreviewFilePtr file;
        QMimeType mime;
        bool previewable = false; // false: the information card, whatever the type
        // For a kind Mirel has no previewer of its own for: the picture the desktop's
        // thumbnailer for the type makes, else for a font a sample of it.
        bool desktopPicture = false;
        bool fontSample = false;
    };
    static Probe probe(const QString &path);

    void rebuild();
    void present(const Probe &probe);
    QWidget *makePreview(const Probe &probe);
    QWidget *makePicturePreview(const Probe &probe);
    QWidget *makeInfoCard(const QString &reason = QString());
    void showInfoCard(QWidget *failedPreview, const QString &reason = QString());
    void replacePreview(QWidget *preview);

    QUrl m_url;
    QVBoxLayout *m_layout = nullptr;
    QPointer<QWidget> m_preview;
    Probe m_probe;
    bool m_cardOnly = false;
    std::uint64_t m_generation = 0;
};
