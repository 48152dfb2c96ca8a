#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

// Layout measures in dialog units, as the editor's window and dialog layouts are given: one
// horizontal unit is a quarter of the dialog font's average character width, one vertical unit an
// eighth of its height.
namespace DialogUnits {

// The dialogs' font: "SimSun" 9 pt, falling back through fontconfig to a CJK serif font.
QFont DialogFont();

// Pixels of `units` horizontal or vertical dialog units in `font`.
int ToPixelsX(int units, const QFont& font = DialogFont());
int ToPixelsY(int units, const QFont& font = DialogFont());
QSize ToPixels(QSize units, const QFont& font = DialogFont());
QRect ToPixels(QRect units, const QFont& font = DialogFont());

} // namespace DialogUnits
