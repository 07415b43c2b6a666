// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreviewFile.h"

#include <QWidget>

class QLabel;
class QPlainTextEdit;

// Read-only monospace view of the beginning of a text or source file. The file is
// read off the main thread, and only its first maxBytes are shown.
class TextPreview final : public QWidget
{
    Q_OBJECT

public:
    static constexpr qint64 maxBytes = 256 * 1024;

    explicit TextPreview(PreviewFilePtr file, QWidget *parent = nullptr);

    bool isLoaded() const { return m_loaded; }
    bool isCut() const { return m_cut; }
    QString text() const;

signals:
    void loaded();
    void failed();

private:
    struct Head
    {
        bool ok = false;
        bool cut = false;
        bool longLines = false;
        QString text;
    };
    static Head readHead(const PreviewFile &file);
    void present(const Head &head);

    QPlainTextEdit *m_edit = nullptr;
    QLabel *m_note = nullptr;
    bool m_loaded = false;
    bool m_cut = false;
};
