#include "dialogs/CColorSwatch.h"

#include <gtest/gtest.h>

// The colour fills the inside of a one-pixel black frame drawn within the control's border.
TEST(CColorSwatch, ShowsItsColourInsideABlackFrame)
{
    CColorSwatch swatch;
    swatch.resize(30, 24);
    EXPECT_EQ(swatch.Color(), 0u);
    swatch.SetColor(0x00336699);
    const QImage shot = swatch.grab().toImage();
    const QRect inside = swatch.contentsRect();
    EXPECT_EQ(QColor(shot.pixel(inside.topLeft())), QColor(Qt::black));
    EXPECT_EQ(QColor(shot.pixel(inside.bottomRight())), QColor(Qt::black));
    EXPECT_EQ(QColor(shot.pixel(inside.center())), QColor(153, 102, 51));
    EXPECT_EQ(QColor(shot.pixel(inside.topLeft() + QPoint(1, 1))), QColor(153, 102, 51));
}
