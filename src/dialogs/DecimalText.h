#pragma once

#include <QString>

#include <optional>

// How the effect dialogs read numbers typed into their fields.
namespace DecimalText {

// Forgiving: leading white space, an optional sign, then decimal digits up to the first other
// character; no digits reads as 0 and whatever follows is ignored. Numbers beyond the int range
// saturate, so they still count as out of any field's range.
int Lenient(const QString& text);

// Strict: a whole decimal number, optionally signed, with blanks or tabs allowed before and after;
// anything else (an empty text too) is not a number. Saturates like Lenient.
std::optional<int> Strict(const QString& text);

} // namespace DecimalText
