#include "dialogs/CColorSwatch.h"

#include "effects/ColorRef.h"

#include <QPainter>

CColorSwatch::CColorSwatch(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void CColorSwatch::SetColor(std::uint32_t value)
{
    color = value;
    repaint();
}

void CColorSwatch::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(Qt::black);
    painter.setBrush(ColorRef::ToQColor(color));
    // drawRect's outline covers one pixel more than the rectangle, hence the adjustment.
    painter.drawRect(contentsRect().adjusted(0, 0, -1, -1));
}
