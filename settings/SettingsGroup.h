// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QVBoxLayout;

// A rounded box of rows, with a thin line between neighbouring rows, in the palette's base
// colour so it stands out from the window like the groups of a settings form.
class SettingsGroup final : public QWidget
{
    Q_OBJECT

public:
    explicit SettingsGroup(QWidget *parent = nullptr);

    // A row of widgets laid out left to right and vertically centred; the group owns it.
    QWidget *addRow(const QList<QWidget *> &widgets);
    // The same, placed before the row at `index` (the count of rows places it last).
    QWidget *insertRow(int index, const QList<QWidget *> &widgets);
    // Takes a row out of the group and deletes it once the current event is handled, so a
    // row may remove itself from inside its own button's click.
    void removeRow(QWidget *row);
    int rowCount() const;

    // Stands for an expanding gap in a row's widget list.
    static QWidget *stretch() { return nullptr; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QVBoxLayout *m_rows; // owned by the widget
};
