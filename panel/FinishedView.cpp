// SPDX-License-Identifier: GPL-3.0-or-later
#include "FinishedView.h"

#include "MirelIcons.h"
#include "TextStyles.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

FinishedView::FinishedView(QWidget *parent)
    : QWidget(parent)
    , m_scanAgain(new QPushButton(tr("Scan Again"), this))
{
    auto *picture = new QLabel(this);
    picture->setFixedSize(150, 150);
    picture->setPixmap(
        MirelIcons::pixmap(u"CelebrationImage"_s, 150, QColor(), devicePixelRatioF()));
    picture->setAccessibleName(tr("All clean!"));

    auto *title = new QLabel(tr("All clean!"), this);
    title->setFont(TextStyles::headline());
    title->setAlignment(Qt::AlignCenter);

    auto *subtitle = new QLabel(tr("No files to review"), this);
    subtitle->setFont(TextStyles::subheadline());
    subtitle->setAlignment(Qt::AlignCenter);
    QPalette secondary = subtitle->palette();
    secondary.setColor(QPalette::WindowText, TextStyles::secondary(palette()));
    subtitle->setPalette(secondary);

    connect(m_scanAgain, &QPushButton::clicked, this, &FinishedView::scanAgainRequested);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addStretch();
    layout->addWidget(picture, 0, Qt::AlignHCenter);
    layout->addWidget(title);
    layout->addWidget(subtitle);
    layout->addWidget(m_scanAgain, 0, Qt::AlignHCenter);
    layout->addStretch();
}
