// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "UpdaterUi.h"

#include <QMessageBox>
#include <QPointer>

class QDialog;
class QProgressDialog;

// The updater's dialogs: non-modal, one at a time, each replacing the one before.
class UpdaterDialogs final : public UpdaterUi
{
    Q_OBJECT

public:
    explicit UpdaterDialogs(QObject *parent = nullptr);
    ~UpdaterDialogs() override;

    void showChecking() override;
    void showPackageManaged() override;
    void showUpToDate(const QString &runningVersion) override;
    void showUpdate(const AppcastItem &item, const QString &runningVersion) override;
    void showDownloading(qint64 received, qint64 total) override;
    void showDownloaded(const QString &filePath) override;
    void showError(UpdateProblem::Kind problem) override;
    void raiseCurrent() override;

private:
    void present(QDialog *dialog);
    void showMessage(QMessageBox::Icon icon, const QString &text, const QString &details);
    QProgressDialog *showProgress(const QString &label);
    void onUserClosed(QDialog *dialog);
    void dismissCurrent();

    QPointer<QDialog> m_current;
    QPointer<QProgressDialog> m_downloadProgress;
};
