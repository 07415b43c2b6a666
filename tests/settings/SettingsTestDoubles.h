#pragma once

#include "FolderPicker.h"
#include "UpdaterUi.h"

#include <QStringList>

#include <functional>
#include <utility>

// Answers the folder picker in the user's place and counts how often it was asked.
class AnsweringFolderPicker final : public FolderPicker
{
public:
    AnsweringFolderPicker(QList<QUrl> answer, int &askCount)
        : m_answer(std::move(answer))
        , m_askCount(askCount)
    {}

    // Runs once, while the picker is open, as a user acting on the window behind it would.
    std::function<void()> whileOpen;

    QList<QUrl> pickFolders(QWidget *) override
    {
        ++m_askCount;
        if (const auto action = std::exchange(whileOpen, {}))
            action();
        return m_answer;
    }

private:
    QList<QUrl> m_answer;
    int &m_askCount;
};

// Writes down the updater's dialogs instead of showing them.
class RecordingUpdaterUi final : public UpdaterUi
{
    Q_OBJECT

public:
    explicit RecordingUpdaterUi(QStringList &events)
        : m_events(events)
    {}

    void showChecking() override { m_events.append(QStringLiteral("checking")); }
    void showPackageManaged() override { m_events.append(QStringLiteral("package manager")); }
    void showUpToDate(const QString &) override { m_events.append(QStringLiteral("up to date")); }
    void showUpdate(const AppcastItem &, const QString &) override
    {
        m_events.append(QStringLiteral("update"));
    }
    void showDownloading(qint64, qint64) override {}
    void showDownloaded(const QString &) override {}
    void showError(UpdateProblem::Kind) override { m_events.append(QStringLiteral("error")); }
    void raiseCurrent() override { m_events.append(QStringLiteral("raise")); }

private:
    QStringList &m_events;
};
