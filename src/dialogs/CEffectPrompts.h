#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class QWidget;

// What the effect dialogs ask of the user outside their own controls: a colour from the colour
// chooser, a colour picked from the screen, and the refusal of a number typed into a field. The
// editor answers with its dialogs; tests answer from a script. Colours are 0x00BBGGRR.
class CEffectPrompts
{
public:
    virtual ~CEffectPrompts() = default;

    // The colour chooser, modal and owned by `owner`, starting at `initial`; nothing when cancelled.
    virtual std::optional<std::uint32_t> ChooseColor(QWidget* owner, std::uint32_t initial) = 0;
    // Waits until the user has picked a colour on the screen; nothing when the pick was cancelled.
    virtual std::optional<std::uint32_t> PickColor() = 0;
    // Tells the user why a field's text was refused, in a modal warning owned by `owner`.
    virtual void Refuse(QWidget* owner, const QString& text) = 0;
};
