// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class SettingsGroup;

// One section of the settings window: a header, a group of rows and, if set, a footer.
class SettingsSection final : public QWidget
{
    Q_OBJECT

public:
    explicit SettingsSection(const QString &header, QWidget *parent = nullptr);

    SettingsGroup *group() const { return m_group; }
    QLabel *header() const { return m_header; }
    // A small explanatory line under the group, in the secondary text colour.
    QLabel *setFooter(const QString &text);

private:
    QLabel *m_header;       // child
    SettingsGroup *m_group; // child
    QLabel *m_footer = nullptr;
};
