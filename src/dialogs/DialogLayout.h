#pragma once

#include <QHash>
#include <QRect>

#include <span>

class QWidget;

// Builds a dialog's controls from its layout table: one row per control, placed in dialog units.
namespace DialogLayout {

enum class Kind
{
    Label,
    CentredLabel,
    Field,  // single-line text field, any characters
    Slider, // horizontal, no tick marks
    Button, // push button, never the default one
    Group,  // frame with an optional title
    CheckBox,
    Radio,     // auto-exclusive with the dialog's other radio buttons
    DropList,  // combo box that cannot be edited
    Arrows,    // small vertical scroll bar whose arrows step a field
    Swatch,    // CColorSwatch
    Separator, // etched horizontal line
};

constexpr int NoId = -1;

struct Control
{
    int id; // NoId for controls nobody refers to
    Kind kind;
    const char* text; // UTF-8
    QRect units;      // position and size in dialog units
};

// Creates the controls of `table` on `dialog` in table order, which is also the tab order; frames
// go behind the controls they surround. Controls with an id are named "control<id>" and returned
// by id; an id used twice ends the program.
QHash<int, QWidget*> Build(QWidget* dialog, std::span<const Control> table);

} // namespace DialogLayout
