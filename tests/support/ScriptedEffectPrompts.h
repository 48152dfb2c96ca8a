#pragma once

#include "dialogs/CEffectPrompts.h"

#include <QList>
#include <QStringList>

#include <deque>

// Answers the effect dialogs' colour chooser and picker from a script and records refusals.
class ScriptedEffectPrompts : public CEffectPrompts
{
public:
    std::deque<std::optional<std::uint32_t>> chooserAnswers; // nothing = cancelled; none left = cancelled
    std::deque<std::optional<std::uint32_t>> picks;          // nothing = cancelled; none left = cancelled
    QList<std::uint32_t> chooserStarts;                      // the initial colour of every chooser opened
    QStringList refusals;
    QWidget* lastOwner = nullptr;

    std::optional<std::uint32_t> ChooseColor(QWidget* owner, std::uint32_t initial) override
    {
        lastOwner = owner;
        chooserStarts.append(initial);
        if (chooserAnswers.empty())
            return std::nullopt;
        const auto answer = chooserAnswers.front();
        chooserAnswers.pop_front();
        return answer;
    }
    std::optional<std::uint32_t> PickColor() override
    {
        if (picks.empty())
            return std::nullopt;
        const auto pick = picks.front();
        picks.pop_front();
        return pick;
    }
    void Refuse(QWidget* owner, const QString& text) override
    {
        lastOwner = owner;
        refusals.append(text);
    }
};
