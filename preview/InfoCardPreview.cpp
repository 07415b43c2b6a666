// SPDX-License-Identifier: GPL-3.0-or-later
#include "InfoCardPreview.h"

#include "FileKinds.h"
#include "FileNames.h"
#include "SymbolLabel.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMimeType>
#include <QRegularExpression>
#include <QUrl>
#include <QVBoxLayout>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

} // namespace

InfoCardPreview::InfoCardPreview(const QString &path, const QMimeType &mime,
                                 const struct stat *attributes, QWidget *parent)
    : QWidget(parent)
    , m_symbolName(iconName(QUrl::fromLocalFile(path)))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(4);
    layout->addStretch(1);
    layout->addWidget(new SymbolLabel(m_symbolName, QColor(), 96, this), 0, Qt::AlignHCenter);
    layout->addSpacing(8);

    // Long names without spaces cannot wrap; they are shortened in the middle to fit.
    m_fileName = FileNames::displayName(path);
    m_name = addLine(m_fileName);
    m_name->setWordWrap(false);
    m_name->setToolTip(m_fileName);
    m_name->setMinimumWidth(1);
    m_name->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont nameFont = m_name->font();
    nameFont.setBold(true);
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.15);
    m_name->setFont(nameFont);
    m_name->setForegroundRole(QPalette::WindowText);

    if (!attributes) {
        m_kind = addLine(tr("This file is no longer there."));
    } else {
        m_kind = addLine(capitalised(mime.comment()));
        if (S_ISREG(attributes->st_mode))
            m_size = addLine(QLocale().formattedDataSize(qint64(attributes->st_size), 1,
                                                         QLocale::DataSizeSIFormat));
        const QDateTime modified = QDateTime::fromSecsSinceEpoch(attributes->st_mtim.tv_sec);
        if (modified.isValid()) {
            const QLocale locale;
            // Minutes are enough; some locales put seconds in their short time format.
            QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
            timeFormat.remove(QRegularExpression(u"[.:]s+"_s));
            m_date = addLine(tr("Modified %1, %2")
                                 .arg(locale.toString(modified.date(), QLocale::LongFormat),
                                      locale.toString(modified.time(), timeFormat)));
        }
    }
    layout->addStretch(1);
}

QLabel *InfoCardPreview::addLine(const QString &text)
{
    auto *label = new QLabel(text, this);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setForegroundRole(QPalette::PlaceholderText);
    layout()->addWidget(label);
    return label;
}

void InfoCardPreview::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int room = contentsRect().width() - layout()->contentsMargins().left() -
                     layout()->contentsMargins().right();
    m_name->setText(m_name->fontMetrics().elidedText(m_fileName, Qt::ElideMiddle, room));
}

QString InfoCardPreview::nameText() const
{
    return m_fileName;
}

QString InfoCardPreview::kindText() const
{
    return m_kind->text();
}

QString InfoCardPreview::sizeText() const
{
    return m_size ? m_size->text() : QString();
}

void InfoCardPreview::setReason(const QString &reason)
{
    if (!m_reason) {
        m_reason = addLine(QString());
        m_reason->setForegroundRole(QPalette::WindowText);
        // Above the closing stretch, under the other lines.
        auto *box = static_cast<QVBoxLayout *>(layout());
        box->removeWidget(m_reason);
        box->insertWidget(box->count() - 1, m_reason);
    }
    m_reason->setText(reason);
    m_reason->setVisible(!reason.isEmpty());
}

QString InfoCardPreview::reasonText() const
{
    return m_reason ? m_reason->text() : QString();
}

QString InfoCardPreview::dateText() const
{
    return m_date ? m_date->text() : QString();
}
