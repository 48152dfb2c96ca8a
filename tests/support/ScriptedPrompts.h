#pragma once

#include "document/CDocumentPrompts.h"

#include <QStringList>

#include <deque>

// Answers the document's dialogs from a script and records what was asked.
class ScriptedPrompts : public CDocumentPrompts
{
public:
    std::deque<std::optional<QString>> openAnswers;
    std::deque<std::optional<QString>> saveAnswers;
    std::deque<Answer> questionAnswers;
    QStringList questions; // "caption|text" of every question asked
    QList<QList<FileFilter>> openFilterLists;
    QList<QList<FileFilter>> saveFilterLists;

    std::optional<QString> ChooseOpenFile(const QList<FileFilter>& filters) override
    {
        openFilterLists.append(filters);
        return Next(openAnswers, std::optional<QString>());
    }
    std::optional<QString> ChooseSaveFile(const QList<FileFilter>& filters) override
    {
        saveFilterLists.append(filters);
        return Next(saveAnswers, std::optional<QString>());
    }
    Answer AskYesNoCancel(const QString& caption, const QString& text) override
    {
        questions.append(caption + QLatin1Char('|') + text);
        return Next(questionAnswers, Answer::Cancel);
    }

private:
    template <typename T> static T Next(std::deque<T>& answers, T fallback)
    {
        if (answers.empty())
            return fallback;
        T answer = answers.front();
        answers.pop_front();
        return answer;
    }
};
