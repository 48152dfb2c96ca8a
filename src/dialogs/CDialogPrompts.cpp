#include "dialogs/CDialogPrompts.h"

#include "desktop/PickColor.h"
#include "effects/ColorRef.h"

#include <QColorDialog>
#include <QMessageBox>

std::optional<std::uint32_t> CDialogPrompts::ChooseColor(QWidget* owner, std::uint32_t initial)
{
    const QColor chosen = QColorDialog::getColor(ColorRef::ToQColor(initial), owner);
    if (!chosen.isValid())
        return std::nullopt;
    return ColorRef::FromQColor(chosen);
}

std::optional<std::uint32_t> CDialogPrompts::PickColor()
{
    return ::PickColor();
}

void CDialogPrompts::Refuse(QWidget* owner, const QString& text)
{
    QMessageBox::warning(owner, caption, text);
}
