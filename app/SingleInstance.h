// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One Mirel per user: the first one listens on a local socket; a later launch asks it to
// open its panel and then leaves.
class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString &name, QObject *parent = nullptr);

    // True when this process is the one that stays; false when another Mirel was told to
    // open its panel.
    bool becomePrimary();

    // "$XDG_RUNTIME_DIR/mirel"; "mirel-<uid>" in the shared temporary folder when the
    // session has no runtime folder.
    static QString defaultName();

signals:
    void openRequested();

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
};
