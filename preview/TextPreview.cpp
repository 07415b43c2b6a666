// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextPreview.h"

#include "PreviewPriority.h"
#include "RunInBackground.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The desktop's fixed-width font. Some platforms answer with a proportional one; then
// the generic monospace family stands in. Judged by the glyphs, since fontconfig calls
// some monospaced fonts proportional.
bool isMonospaced(const QFont &font)
{
    const QFontMetricsF metrics(font);
    return qFuzzyCompare(metrics.horizontalAdvance(u"iiii"_s),
                         metrics.horizontalAdvance(u"MMMM"_s));
}

QFont monospaceFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (isMonospaced(font))
        return font;
    font.setFamily(u"monospace"_s);
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    return font;
}

} // namespace

TextPreview::TextPreview(PreviewFilePtr file, QWidget *parent)
    : QWidget(parent)
    , m_edit(new QPlainTextEdit(this))
    , m_note(new QLabel(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_note);

    m_edit->setReadOnly(true);
    // A right-click belongs to the card around the preview, with the file's own menu.
    m_edit->setContextMenuPolicy(Qt::NoContextMenu);
    m_edit->setFont(monospaceFont());
    m_edit->setFrameShape(QFrame::NoFrame);
    m_note->setWordWrap(true);
    m_note->setContentsMargins(8, 4, 8, 4);
    m_note->setForegroundRole(QPalette::PlaceholderText);
    m_note->hide();

    runInBackground(
        this, [file = std::move(file)] { return readHead(*file); },
        [this](const Head &result) { present(result); }, previewPriority);
}

QString TextPreview::text() const
{
    return m_edit->toPlainText();
}

TextPreview::Head TextPreview::readHead(const PreviewFile &file)
{
    Head head;
    if (!file.isRegular() || file.size() == 0)
        return head;
    // One byte more than shown tells whether anything is cut.
    QByteArray data = file.head(maxBytes + 1);
    head.cut = data.size() > maxBytes;
    data.truncate(maxBytes);

    // A byte-order mark decides; otherwise UTF-8, and Latin-1 when the bytes are not UTF-8.
    // The decoder keeps a character split by the cut in its state instead of garbling it.
    auto encoding = QStringConverter::encodingForData(data).value_or(QStringConverter::Utf8);
    QStringDecoder decoder(encoding);
    head.text = decoder.decode(data);
    if (decoder.hasError())
        head.text = QString::fromLatin1(data);
    // Wrapping a very long line (minified code, one-line logs) makes layout crawl.
    qsizetype lineStart = 0;
    while (!head.longLines && lineStart < head.text.size()) {
        qsizetype lineEnd = head.text.indexOf(u'\n', lineStart);
        if (lineEnd < 0)
            lineEnd = head.text.size();
        head.longLines = lineEnd - lineStart > 10000;
        lineStart = lineEnd + 1;
    }
    head.ok = true;
    return head;
}

void TextPreview::present(const Head &head)
{
    if (!head.ok) {
        emit failed();
        return;
    }
    m_cut = head.cut;
    m_edit->setLineWrapMode(head.longLines ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    m_edit->setPlainText(head.text);
    if (m_cut) {
        const QString limit = QLocale().formattedDataSize(maxBytes, 0, QLocale::DataSizeIecFormat);
        m_note->setText(tr("Only the first %1 of this file are shown.").arg(limit));
        m_note->show();
    }
    m_loaded = true;
    emit loaded();
}
