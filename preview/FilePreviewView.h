#pragma once

#include <QPointer>
#include <QUrl>
#include <QWidget>

class QMimeType;
class QVBoxLayout;

// Shows any file that is not opened as a zoomable image: PDF pages, text, audio and
// video, other images Qt can read, and an information card for everything else.
// The previewer is chosen by MIME type and replaced whenever the URL changes; one that
// cannot show its file gives way to the information card.
class FilePreviewView final : public QWidget
{
    Q_OBJECT

public:
    explicit FilePreviewView(const QUrl &url, QWidget *parent = nullptr);
    ~FilePreviewView() override;

    // Told again on every update; the same URL keeps the current previewer.
    void setUrl(const QUrl &url);
    QUrl url() const { return m_url; }

    // The previewer showing the current URL (for tests and screenshots).
    QWidget *currentPreview() const { return m_preview; }

Q_SIGNALS:
    // A new previewer took the place of the previous one.
    void previewChanged(QWidget *preview);

private:
    void rebuild();
    QWidget *makePreview(const QString &path, const QMimeType &mime);
    void showInfoCard(QWidget *failedPreview);
    void replacePreview(QWidget *preview);

    QUrl m_url;
    QVBoxLayout *m_layout = nullptr;
    QPointer<QWidget> m_preview;
};
