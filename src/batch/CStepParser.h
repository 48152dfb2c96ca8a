#pragma once

#include "batch/BatchStep.h"

#include <QList>
#include <QString>

#include <optional>

// Turns one step option of the batch command line and its value into a step. Every parameter
// must lie in the range the editor's dialogs give that effect; anything else is refused with a
// text naming the option and what it accepts.
class CStepParser
{
public:
    struct Option
    {
        QString name;        // without the dashes, e.g. "gray"
        QString valueName;   // empty for an option without a value
        QString description; // for the help text
    };

    // The step options in the order the help lists them.
    static const QList<Option>& Options();
    static bool IsStepOption(const QString& name);

    // The step, or nothing with `refusal` set.
    static std::optional<BatchStep> Parse(const QString& name, const QString& value, QString& refusal);

    // Largest selection coordinate accepted; a selection reaching beyond a picture is clipped to it.
    static constexpr int MaxCoordinate = 100000;
};
