// The overlay effects through the document: where the pattern is anchored and which pixels the
// selection lets it change.
#include "document/CImageDoc.h"

#include "support/PhotoDocumentTest.h"

#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>

namespace {

constexpr std::uint32_t Magenta = 0x00FF00FFu; // 0x00BBGGRR and RGB32 alike
constexpr QRgb MagentaPixel = 0xFFFF00FFu;

class OverlayEffects : public PhotoDocumentTest
{
protected:
    void SetUp() override
    {
        LoadPhoto(64, 48, 1);
        // The photo never holds the overlay's colour, so "magenta" means "covered".
        for (int y = 0; y < original.height(); ++y)
            for (int x = 0; x < original.width(); ++x)
                ASSERT_NE(original.pixel(x, y), MagentaPixel);
    }

    void Select(SelectionKind kind, std::initializer_list<QPoint> points)
    {
        doc.selection.Clear();
        for (QPoint p : points)
            doc.selection.AddPoint(p);
        doc.selection.kind = kind;
    }

    bool Covered(const QImage& result, int x, int y) const { return result.pixel(x, y) == MagentaPixel; }

    // Every pixel outside `rect` keeps the original's value.
    int ChangedOutside(const QImage& result, const QRect& rect) const
    {
        int changed = 0;
        for (int y = 0; y < result.height(); ++y)
            for (int x = 0; x < result.width(); ++x)
                changed += !rect.contains(x, y) && result.pixel(x, y) != original.pixel(x, y);
        return changed;
    }
};

} // namespace

TEST_F(OverlayEffects, TheGridIsAnchoredAtTheSelectionsTopLeftAndMovesWithIt)
{
    const QRect rect(10, 8, 30, 22); // points (10, 8) and (40, 30), half-open
    Select(SelectionKind::Rectangle, {{10, 8}, {40, 30}});
    ASSERT_TRUE(doc.ApplyDots(2, 3, Magenta, 255));
    const QImage first = Picture();
    EXPECT_EQ(ChangedOutside(first, rect), 0);
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            ASSERT_EQ(Covered(first, x, y), (x - 10) % 3 == 0 && (y - 8) % 4 == 0) << x << "," << y;

    ASSERT_TRUE(doc.Undo());
    Select(SelectionKind::Rectangle, {{11, 9}, {41, 31}});
    ASSERT_TRUE(doc.ApplyDots(2, 3, Magenta, 255));
    const QImage moved = Picture();
    EXPECT_EQ(ChangedOutside(moved, rect.translated(1, 1)), 0);
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            ASSERT_EQ(Covered(moved, x + 1, y + 1), Covered(first, x, y)) << x << "," << y;
}

TEST_F(OverlayEffects, LinesStartAtTheSelectionsEdgesAndStayInsideIt)
{
    const QRect rect(5, 6, 20, 30);
    Select(SelectionKind::Rectangle, {{25, 36}, {5, 6}});
    ASSERT_TRUE(doc.ApplyLines(0, 1, 2, Magenta, 0, 255));
    QImage result = Picture();
    EXPECT_EQ(ChangedOutside(result, rect), 0);
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        EXPECT_EQ(Covered(result, 5, y), (y - 6) % 3 == 0) << y;

    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.ApplyLines(90, 1, 2, Magenta, 0, 255));
    result = Picture();
    EXPECT_EQ(ChangedOutside(result, rect), 0);
    for (int x = rect.left(); x <= rect.right(); ++x)
        EXPECT_EQ(Covered(result, x, 20), (x - 5) % 3 == 0) << x;
}

TEST_F(OverlayEffects, WithoutSelectionTheWholeImageIsCoveredFromItsCorner)
{
    ASSERT_TRUE(doc.ApplySolidFill(Magenta, 255));
    const QImage filled = Picture();
    for (int y = 0; y < filled.height(); ++y)
        for (int x = 0; x < filled.width(); ++x)
            ASSERT_TRUE(Covered(filled, x, y)) << x << "," << y;

    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.ApplyLines(90, 1, 3, Magenta, 0, 255));
    const QImage lines = Picture();
    for (int x = 0; x < lines.width(); ++x)
        EXPECT_EQ(Covered(lines, x, 47), x % 4 == 0) << x;
}

TEST_F(OverlayEffects, AnEllipseLeavesTheRectanglesCornersUnchanged)
{
    const QRect rect(4, 4, 40, 30);
    Select(SelectionKind::Ellipse, {{4, 4}, {44, 34}});
    ASSERT_TRUE(doc.ApplySolidFill(Magenta, 255));
    const QImage result = Picture();
    EXPECT_EQ(ChangedOutside(result, rect), 0);
    for (QPoint corner : {rect.topLeft(), rect.topRight(), rect.bottomLeft(), rect.bottomRight()})
        EXPECT_EQ(result.pixel(corner), original.pixel(corner)) << corner.x() << "," << corner.y();
    EXPECT_TRUE(Covered(result, 24, 19));
}

TEST_F(OverlayEffects, ASelectionBeyondTheImageKeepsItsUnclippedCornerAsAnchor)
{
    Select(SelectionKind::Rectangle, {{-5, -7}, {30, 20}});
    ASSERT_TRUE(doc.ApplyDots(3, 3, Magenta, 255));
    const QImage dots = Picture();
    EXPECT_EQ(ChangedOutside(dots, QRect(0, 0, 30, 20)), 0);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(Covered(dots, x, y), (x + 5) % 4 == 0 && (y + 7) % 4 == 0) << x << "," << y;

    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.ApplyLines(0, 3, 4, Magenta, 0, 255));
    const QImage lines = Picture();
    // Lines centred on rows -7, 0, 7, 14, 21 of the image, each 3 rows wide.
    for (int y = 0; y < 20; ++y)
        EXPECT_EQ(Covered(lines, 12, y), (y + 1) % 7 <= 2) << y;
}

TEST_F(OverlayEffects, AWideLineCentredOnTheFarEdgeIsNotDrawn)
{
    Select(SelectionKind::Rectangle, {{0, 0}, {30, 20}});
    // Step 10: lines centred on rows 0 and 10, nine rows wide; none on row 20, the far edge.
    ASSERT_TRUE(doc.ApplyLines(0, 9, 1, Magenta, 0, 255));
    const QImage result = Picture();
    for (int y = 0; y < 20; ++y)
        EXPECT_EQ(Covered(result, 7, y), y <= 4 || (y >= 6 && y <= 14)) << y;
}

TEST_F(OverlayEffects, ASelectionFromFarOutsideStillAnchorsThePattern)
{
    Select(SelectionKind::Rectangle, {{INT_MIN, INT_MIN + 1}, {30, 20}});
    ASSERT_TRUE(doc.ApplyDots(1, 1, Magenta, 255));
    const QImage dots = Picture();
    EXPECT_EQ(ChangedOutside(dots, QRect(0, 0, 30, 20)), 0);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x)
            ASSERT_EQ(Covered(dots, x, y), x % 2 == 0 && y % 2 == 1) << x << "," << y;
}
