#pragma once

#include "dialogs/CEffectPrompts.h"

// The editor's answers to the effect dialogs: Qt's colour chooser, the screen colour picker and a
// warning box captioned with the application's caption.
class CDialogPrompts : public CEffectPrompts
{
public:
    explicit CDialogPrompts(QString title) : caption(std::move(title)) {}

    std::optional<std::uint32_t> ChooseColor(QWidget* owner, std::uint32_t initial) override;
    std::optional<std::uint32_t> PickColor() override;
    void Refuse(QWidget* owner, const QString& text) override;

private:
    QString caption;
};
