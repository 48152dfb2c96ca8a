#pragma once

#include "document/CDocumentPrompts.h"

#include <QStringList>

#include <deque>
#include <functional>
#include <utility>

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
    QStringList lengthyWork;             // `what` of every RunLengthy, in order
    std::function<void()> beforeLengthy; // runs before each piece of lengthy work

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

    void RunLengthy(const QString& what, const std::function<void()>& work) override
    {
        lengthyWork.append(what);
        if (beforeLengthy)
            beforeLengthy();
        work();
    }

private:
    template <typename T> static T Next(std::deque<T>& answers, T fallback)
    {
        if (answers.empty())
            return fallback;
        // Swapped out rather than copied: GCC 12 at -O3 takes a copied optional<QString> for
        // uninitialised.
        std::swap(fallback, answers.front());
        answers.pop_front();
        return fallback;
    }
};
