#include "widgets/CImageButton.h"

#include "widgets/Pictures.h"

#include <QIcon>

CImageButton::CImageButton(const QString& picture, QSize pictureSize, const QString& toolTip, QWidget* parent)
    : QToolButton(parent)
{
    setAutoRaise(true);
    // Never takes the focus, so Enter, Esc and the keys of the canvas stay where they are.
    setFocusPolicy(Qt::NoFocus);
    setIcon(QIcon(Pictures::Masked(picture, pictureSize)));
    setIconSize(pictureSize);
    if (!toolTip.isEmpty())
        setToolTip(toolTip);
}

void CImageButton::SetPushed(bool pushed)
{
    if (pushed)
        setCheckable(true);
    setChecked(pushed);
}

bool CImageButton::IsPushed() const
{
    return isChecked();
}

void CImageButton::nextCheckState()
{
    // Deliberately empty: a click only reports itself; the owner decides which button is pushed.
}
