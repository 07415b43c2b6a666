// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreviewFile.h"

#include <QWidget>

#include <memory>

class QPdfDocument;
class QPdfView;

// The pages of a PDF, fitted to the width and scrollable. The document is opened off
// the main thread, so a large or slow file never freezes the panel.
class PdfPreview final : public QWidget
{
    Q_OBJECT

public:
    explicit PdfPreview(PreviewFilePtr file, QWidget *parent = nullptr);
    ~PdfPreview() override;

    bool isLoaded() const { return m_document != nullptr; }
    int pageCount() const;

signals:
    void loaded();
    void failed();

private:
    using Document = std::shared_ptr<QPdfDocument>;
    static Document open(const PreviewFile &file);
    void present(const Document &document);

    QPdfView *m_view = nullptr;
    Document m_document;
};
