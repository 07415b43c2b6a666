// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FolderPicker.h"

#include <QList>
#include <QUrl>

#include <functional>
#include <utility>

using namespace Qt::StringLiterals;

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
