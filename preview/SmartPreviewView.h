// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>
#include <QWidget>

class FilePreviewView;
class QVBoxLayout;
class ZoomableImageView;

// The preview area's one view: a ZoomableImageView for the image extensions, a FilePreviewView
// for everything else, chosen by the file name's extension alone. A picture that cannot be
// decoded gives way to a FilePreviewView with the information card. It adds no frame or margin.
class SmartPreviewView final : public QWidget
{
    Q_OBJECT

public:
    explicit SmartPreviewView(const QUrl &url, QWidget *parent = nullptr);
    ~SmartPreviewView() override;

    QUrl url() const { return m_url; }
    // Told again on every update. A URL of the same kind is handed to the present view, which
    // keeps or replaces its content itself; a change of kind replaces the view.
    void setUrl(const QUrl &url);

    // Exactly one of these is non-null.
    ZoomableImageView *imageView() const { return m_imageView; }
    FilePreviewView *filePreview() const { return m_filePreview; }

private:
    void rebuild();
    void showInformationCard();

    QUrl m_url;
    QVBoxLayout *m_layout;
    ZoomableImageView *m_imageView = nullptr;
    FilePreviewView *m_filePreview = nullptr;
};
