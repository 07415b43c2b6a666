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

    // "$XDG_RUNTIME_DIR/mirel"; without a runtime folder, "instance" in a folder of the
    // user's own ("~/.cache/mirel", 0700). Empty, with the reason in `problem`, when that
    // folder is not safe (a link, another user's, open to others): Mirel then runs without
    // the check.
    static QString defaultName(QString *problem = nullptr);
    // Why `folder` may not hold the socket; empty when it is a private folder of the user's.
    static QString privateFolderProblem(const QString &folder);

signals:
    void openRequested();

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
};
