// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsSection.h"

#include "SettingsGroup.h"

#include <QLabel>
#include <QVBoxLayout>

SettingsSection::SettingsSection(const QString &header, QWidget *parent)
    : QWidget(parent)
    , m_header(new QLabel(header, this))
    , m_group(new SettingsGroup(this))
{
    QFont headerFont = m_header->font();
    headerFont.setBold(true);
    m_header->setFont(headerFont);
    m_header->setContentsMargins(4, 0, 0, 0);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_header);
    layout->addWidget(m_group);
}

QLabel *SettingsSection::setFooter(const QString &text)
{
    if (m_footer == nullptr) {
        m_footer = new QLabel(this);
        m_footer->setWordWrap(true);
        m_footer->setContentsMargins(4, 0, 4, 0);
        m_footer->setForegroundRole(QPalette::PlaceholderText);
        // The caption size: a little smaller than the body text.
        QFont caption = m_footer->font();
        if (caption.pointSizeF() > 0)
            caption.setPointSizeF(caption.pointSizeF() * 0.85);
        else
            caption.setPixelSize(qMax(9, caption.pixelSize() * 85 / 100));
        m_footer->setFont(caption);
        layout()->addWidget(m_footer);
    }
    m_footer->setText(text);
    return m_footer;
}
