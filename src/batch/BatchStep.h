#pragma once

#include <QString>

#include <functional>

class CImageDoc;

// One step of a batch run: an effect with its parameters fixed, or a new selection for the
// steps after it. `option` is the command-line option it came from, for messages.
struct BatchStep
{
    QString option;
    std::function<bool(CImageDoc&)> apply;
};
