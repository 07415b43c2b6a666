// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QWidget>

// A symbol from Mirel's icon set, square, drawn sharp at any screen scale: in a fixed colour,
// or, without one, in the palette's secondary text colour (so it follows the theme).
class SymbolLabel final : public QWidget
{
    Q_OBJECT

public:
    SymbolLabel(const QString &symbolName, const QColor &color, int size,
                QWidget *parent = nullptr);

    QString symbolName() const { return m_symbolName; }
    QSize sizeHint() const override { return QSize(m_size, m_size); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbolName;
    QColor m_color;
    int m_size;
};
