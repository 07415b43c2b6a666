// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QPushButton;

// Shown when nothing is left to review: the celebration picture, "All clean!",
// "No files to review" and "Scan Again".
class FinishedView final : public QWidget
{
    Q_OBJECT

public:
    explicit FinishedView(QWidget *parent = nullptr);

    QPushButton *scanAgainButton() const { return m_scanAgain; }

signals:
    void scanAgainRequested();

private:
    QPushButton *m_scanAgain;
};
