#pragma once

#include <QWidget>

// A symbol from Mirel's icon set, square, in the palette's secondary text colour.
class KindIconLabel final : public QWidget
{
    Q_OBJECT

public:
    KindIconLabel(const QString &symbolName, int size, QWidget *parent = nullptr);

    QString symbolName() const { return m_symbolName; }
    QSize sizeHint() const override { return QSize(m_size, m_size); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_symbolName;
    int m_size;
};
