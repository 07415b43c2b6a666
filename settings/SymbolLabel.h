#pragma once

#include <QColor>
#include <QIcon>
#include <QWidget>

// A symbol from Mirel's icon set in a fixed colour, square, drawn sharp at any screen scale.
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
    QIcon m_icon;
    int m_size;
};
