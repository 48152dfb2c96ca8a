#include "CanvasFixture.h"

#include "canvas/CDrawView.h"
#include "selection/SelectionMasks.h"
#include "support/QtPrinters.h"
#include "support/TestImages.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr QRgb Grey = 0xFF808080;
constexpr QRgb White = 0xFFFFFFFF;

class CDrawViewTest : public CanvasFixture
{
protected:
    CDrawViewTest() : CanvasFixture(QSize(200, 150)) {}

    void Select(SelectionKind kind, const std::vector<QPoint>& points)
    {
        view.doc.selection.Clear();
        for (const QPoint& p : points)
            view.doc.selection.AddPoint(p);
        view.doc.selection.kind = kind;
    }

    void ScrollTo(QPoint position)
    {
        view.horizontalScrollBar()->setValue(position.x());
        view.verticalScrollBar()->setValue(position.y());
        ASSERT_EQ(view.ScrollPosition(), position);
    }

    void Press(QPoint client) { QTest::mousePress(view.viewport(), Qt::LeftButton, {}, client); }
    void Release(QPoint client) { QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, client); }
    void Click(QPoint client)
    {
        Press(client);
        Release(client);
    }
    // Qt's sequence for a double-click: press, release, double-click, release.
    void DoubleClick(QPoint client)
    {
        Click(client);
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, client);
        Release(client);
    }
    // Sent directly: QTest moves the cursor instead when no button is held.
    void Move(QPoint client, Qt::MouseButtons buttons = Qt::LeftButton)
    {
        QMouseEvent event(QEvent::MouseMove, client, view.viewport()->mapToGlobal(client), Qt::NoButton, buttons, {});
        QCoreApplication::sendEvent(view.viewport(), &event);
    }

    QImage Grab() { return view.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    const QList<QPoint>& Points() const { return view.doc.selection.points; }
    SelectionKind Kind() const { return view.doc.selection.kind; }
};

// Scroll range and mouse coordinates

TEST_F(CDrawViewTest, ScrollBarsCoverTheImageBeyondTheViewport)
{
    Open(1000, 800);
    const QSize visible = view.viewport()->size();
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 1000 - visible.width());
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 800 - visible.height());
    EXPECT_EQ(view.horizontalScrollBar()->pageStep(), 100);
    EXPECT_EQ(view.verticalScrollBar()->singleStep(), 8);

    view.resize(400, 300);
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 1000 - view.viewport()->width());

    view.SetScrollSizes(QSize(0, 0));
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(view.GetScrollSizes(), QSize(0, 0));
}

TEST_F(CDrawViewTest, SmallImageNeverScrollsAndKeepsPositiveSteps)
{
    Open(50, 40);
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(view.horizontalScrollBar()->pageStep(), 5);
    EXPECT_EQ(view.horizontalScrollBar()->singleStep(), 1);
}

TEST_F(CDrawViewTest, ScrollPositionIsAddedToMousePositions)
{
    Open(1000, 800);
    ScrollTo(QPoint(30, 40));
    view.SetTool(SelectionKind::Rectangle);
    Press(QPoint(10, 20));
    Move(QPoint(20, 30));
    Release(QPoint(50, 60));
    EXPECT_EQ(Kind(), SelectionKind::Rectangle);
    EXPECT_EQ(Points(), (QList<QPoint>{{40, 60}, {80, 100}}));
}

TEST_F(CDrawViewTest, PolygonVerticesStayOnTheirPixelsWhileScrolling)
{
    Open(1000, 800);
    view.SetTool(SelectionKind::Polygon);
    Click(QPoint(10, 10));
    ScrollTo(QPoint(100, 50));
    Click(QPoint(10, 10));
    EXPECT_EQ(view.Track(), (QList<QPoint>{{10, 10}, {110, 60}}));
}

// Inside means x <= W and y <= H: the column just right of the image still counts.
TEST_F(CDrawViewTest, PressAtTheImageWidthIsInsideAndOneBeyondIsOutside)
{
    Open(100, 80);
    view.SetTool(SelectionKind::Rectangle);
    Press(QPoint(100, 80));
    EXPECT_TRUE(view.IsDrawing());
    Release(QPoint(10, 10));
    ASSERT_EQ(Kind(), SelectionKind::Rectangle);

    Press(QPoint(101, 10));
    EXPECT_FALSE(view.IsDrawing());
    EXPECT_EQ(Kind(), SelectionKind::None);

    Select(SelectionKind::Rectangle, {{1, 1}, {5, 5}});
    Press(QPoint(10, 81));
    EXPECT_EQ(Kind(), SelectionKind::None);
}

TEST_F(CDrawViewTest, PointerToolClearsOnPressAndRelease)
{
    Open(100, 80);
    Select(SelectionKind::Ellipse, {{1, 1}, {50, 50}});
    Press(QPoint(10, 10));
    EXPECT_EQ(Kind(), SelectionKind::None);
    Select(SelectionKind::Ellipse, {{1, 1}, {50, 50}});
    Release(QPoint(150, 10));
    EXPECT_EQ(Kind(), SelectionKind::None);
    EXPECT_FALSE(view.IsDrawing());
}

TEST_F(CDrawViewTest, OnlyTheLeftButtonCounts)
{
    Open(100, 80);
    Select(SelectionKind::Ellipse, {{1, 1}, {50, 50}});
    QTest::mousePress(view.viewport(), Qt::RightButton, {}, QPoint(10, 10));
    QTest::mouseRelease(view.viewport(), Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(Kind(), SelectionKind::Ellipse);
}

// Rectangle and ellipse

TEST_F(CDrawViewTest, EllipseDragCommitsOnRelease)
{
    Open(100, 80);
    view.SetTool(SelectionKind::Ellipse);
    Select(SelectionKind::Rectangle, {{1, 1}, {5, 5}});
    Press(QPoint(10, 10));
    Move(QPoint(30, 20));
    EXPECT_EQ(Kind(), SelectionKind::Rectangle) << "the committed selection stays during the drag";
    Release(QPoint(40, 30));
    EXPECT_EQ(Kind(), SelectionKind::Ellipse);
    EXPECT_EQ(Points(), (QList<QPoint>{{10, 10}, {40, 30}}));
    EXPECT_FALSE(view.IsDrawing());
}

TEST_F(CDrawViewTest, RectangleReleasedWherePressedClears)
{
    Open(100, 80);
    view.SetTool(SelectionKind::Rectangle);
    Select(SelectionKind::Rectangle, {{1, 1}, {5, 5}});
    Press(QPoint(10, 10));
    Move(QPoint(30, 30));
    Release(QPoint(10, 10));
    EXPECT_EQ(Kind(), SelectionKind::None);
    EXPECT_FALSE(view.IsDrawing());
}

TEST_F(CDrawViewTest, RectangleRubberBandFollowsBeyondTheImageAndReleaseThereClears)
{
    Open(100, 80);
    view.SetTool(SelectionKind::Rectangle);
    Select(SelectionKind::Rectangle, {{1, 1}, {5, 5}});
    Press(QPoint(10, 10));
    Move(QPoint(150, 120));
    EXPECT_TRUE(view.IsDrawing());
    Release(QPoint(150, 120));
    EXPECT_EQ(Kind(), SelectionKind::None);
    EXPECT_FALSE(view.IsDrawing());
}

TEST_F(CDrawViewTest, ReleaseWithoutADragIsIgnored)
{
    Open(100, 80);
    view.SetTool(SelectionKind::Rectangle);
    Select(SelectionKind::Ellipse, {{1, 1}, {5, 5}});
    Release(QPoint(40, 40));
    EXPECT_EQ(Kind(), SelectionKind::Ellipse);
    EXPECT_EQ(Points(), (QList<QPoint>{{1, 1}, {5, 5}}));
}

// The pointer is grabbed, so a release beyond the window still arrives: it ends the gesture.
TEST_F(CDrawViewTest, ReleaseOutsideTheWindowEndsTheDrag)
{
    Open(1000, 800);
    view.SetTool(SelectionKind::Rectangle);
    Press(QPoint(10, 10));
    Release(QPoint(-5, 20));
    EXPECT_FALSE(view.IsDrawing());
    EXPECT_EQ(Kind(), SelectionKind::None);

    Press(QPoint(10, 10));
    Release(QPoint(view.viewport()->width() + 5, 20)); // still over the image, but not over the window
    EXPECT_FALSE(view.IsDrawing());
    EXPECT_EQ(Kind(), SelectionKind::None);
}

// Polygon

class PolygonCloseTest : public CDrawViewTest, public ::testing::WithParamInterface<std::pair<QPoint, bool>>
{
};

TEST_P(PolygonCloseTest, SecondPressNearTheFirstVertexCloses)
{
    const auto [offset, closes] = GetParam();
    Open(100, 80);
    view.SetTool(SelectionKind::Polygon);
    Click(QPoint(20, 20));
    Click(QPoint(60, 20));
    Click(QPoint(20, 20) + offset);
    if (closes) {
        EXPECT_FALSE(view.IsDrawing());
        EXPECT_EQ(Kind(), SelectionKind::Polygon);
        EXPECT_EQ(Points(), (QList<QPoint>{{20, 20}, {60, 20}, {20, 20}}));
    } else {
        EXPECT_TRUE(view.IsDrawing());
        EXPECT_EQ(view.Track().size(), 3);
        EXPECT_EQ(Kind(), SelectionKind::None);
    }
}

INSTANTIATE_TEST_SUITE_P(Distances, PolygonCloseTest,
                         ::testing::Values(std::pair{QPoint(6, 6), true}, std::pair{QPoint(-6, -6), true},
                                           std::pair{QPoint(7, 0), false}, std::pair{QPoint(0, 7), false},
                                           std::pair{QPoint(-7, 6), false}));

TEST_F(CDrawViewTest, PolygonClosedByItsSecondPressHoldsTwoPoints)
{
    Open(100, 80);
    view.SetTool(SelectionKind::Polygon);
    Click(QPoint(30, 30));
    Click(QPoint(33, 27));
    EXPECT_EQ(Kind(), SelectionKind::Polygon);
    EXPECT_EQ(Points(), (QList<QPoint>{{30, 30}, {30, 30}}));
}

TEST_F(CDrawViewTest, PolygonDoubleClickClosesWithTheFirstClickAsLastVertex)
{
    Open(100, 80);
    view.SetTool(SelectionKind::Polygon);
    Click(QPoint(10, 10));
    Click(QPoint(60, 10));
    DoubleClick(QPoint(60, 50));
    EXPECT_FALSE(view.IsDrawing());
    EXPECT_EQ(Kind(), SelectionKind::Polygon);
    EXPECT_EQ(Points(), (QList<QPoint>{{10, 10}, {60, 10}, {60, 50}, {10, 10}}));
}

TEST_F(CDrawViewTest, PolygonPressOrDoubleClickOutsideAbandonsAndClears)
{
    Open(100, 80);
    view.SetTool(SelectionKind::Polygon);
    Select(SelectionKind::Rectangle, {{1, 1}, {5, 5}});
    Click(QPoint(10, 10));
    Click(QPoint(150, 10));
    EXPECT_FALSE(view.IsDrawing());
    EXPECT_EQ(Kind(), SelectionKind::None);

    Select(SelectionKind::Rectangle, {{1, 1}, {5, 5}});
    Click(QPoint(10, 10));
    Click(QPoint(50, 10));
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, QPoint(150, 10));
    EXPECT_FALSE(view.IsDrawing());
    EXPECT_EQ(Kind(), SelectionKind::None);
}

TEST_F(CDrawViewTest, PolygonRubberBandFollowsMovesWithoutAButton)
{
    Open(100, 80);
    view.SetTool(SelectionKind::Polygon);
    Click(QPoint(10, 10));
    Move(QPoint(70, 40), Qt::NoButton);
    const QImage shown = Grab();
    EXPECT_EQ(shown.pixel(40, 25), Grey) << "the rubber band runs from the last vertex to the mouse";
    EXPECT_EQ(shown.pixel(40, 30), picture.pixel(40, 30));
}

TEST_F(CDrawViewTest, ToolChangeMidPolygonKeepsTheCommittedSelection)
{
    Open(100, 80);
    Select(SelectionKind::Ellipse, {{1, 1}, {50, 50}});
    view.SetTool(SelectionKind::Polygon);
    Click(QPoint(10, 10));
    Click(QPoint(60, 10));
    view.SetTool(SelectionKind::Rectangle);
    EXPECT_FALSE(view.IsDrawing());
    EXPECT_TRUE(view.Track().isEmpty());
    EXPECT_EQ(Kind(), SelectionKind::Ellipse);
    EXPECT_EQ(Points(), (QList<QPoint>{{1, 1}, {50, 50}}));
}

// Freehand

TEST_F(CDrawViewTest, FreehandClickWithoutMovesClears)
{
    Open(100, 80);
    view.SetTool(SelectionKind::Freeform);
    Select(SelectionKind::Rectangle, {{1, 1}, {5, 5}});
    Click(QPoint(10, 10));
    EXPECT_EQ(Kind(), SelectionKind::None);
    EXPECT_FALSE(view.IsDrawing());
}

TEST_F(CDrawViewTest, FreehandStrokeWithOneMoveCommitsFourPoints)
{
    Open(100, 80);
    view.SetTool(SelectionKind::Freeform);
    Press(QPoint(10, 10));
    Move(QPoint(50, 20));
    Release(QPoint(30, 60));
    EXPECT_EQ(Kind(), SelectionKind::Freeform);
    EXPECT_EQ(Points(), (QList<QPoint>{{10, 10}, {50, 20}, {30, 60}, {10, 10}}));
    EXPECT_TRUE(view.Track().isEmpty());
}

TEST_F(CDrawViewTest, FreehandStrokeLeavingTheImageIsAbandoned)
{
    Open(100, 80);
    view.SetTool(SelectionKind::Freeform);
    Select(SelectionKind::Rectangle, {{1, 1}, {5, 5}});
    Press(QPoint(10, 10));
    Move(QPoint(50, 20));
    Move(QPoint(101, 20));
    EXPECT_FALSE(view.IsDrawing());
    EXPECT_EQ(Kind(), SelectionKind::None);
    Move(QPoint(60, 20));
    Release(QPoint(60, 30));
    EXPECT_EQ(Kind(), SelectionKind::None) << "moves after the abandoned stroke add nothing";
}

TEST_F(CDrawViewTest, FreehandReleaseOutsideClears)
{
    Open(100, 80);
    view.SetTool(SelectionKind::Freeform);
    Press(QPoint(10, 10));
    Move(QPoint(50, 20));
    Move(QPoint(50, 50));
    Release(QPoint(-3, 50));
    EXPECT_FALSE(view.IsDrawing());
    EXPECT_EQ(Kind(), SelectionKind::None);
}

// Painting

TEST_F(CDrawViewTest, NothingLoadedShowsOnlyWhite)
{
    Select(SelectionKind::Rectangle, {{0, 0}, {50, 50}});
    const QImage shown = Grab();
    ASSERT_EQ(shown.size(), view.viewport()->size());
    QImage white(shown.size(), QImage::Format_RGB32);
    white.fill(Qt::white);
    EXPECT_EQ(shown, white);
}

TEST_F(CDrawViewTest, ShowsTheVisiblePartAndWhiteBeyondTheImage)
{
    Open(150, 100);
    const QImage shown = Grab();
    EXPECT_EQ(shown.copy(0, 0, 150, 100), picture);
    for (const QPoint p : {QPoint(150, 0), QPoint(199, 149), QPoint(0, 100), QPoint(160, 50)})
        EXPECT_EQ(shown.pixel(p), White) << ::testing::PrintToString(p);

    Open(1000, 800);
    ScrollTo(QPoint(300, 200));
    EXPECT_EQ(Grab(), picture.copy(QRect(QPoint(300, 200), view.viewport()->size())));
}

// Pixels of the outline's path: grey dots with white gaps, never anything else.
void ExpectDotted(const QImage& shown, const std::vector<QPoint>& path)
{
    int grey = 0;
    int white = 0;
    for (const QPoint p : path) {
        const QRgb c = shown.pixel(p);
        grey += c == Grey;
        white += c == White;
        EXPECT_TRUE(c == Grey || c == White) << "at " << ::testing::PrintToString(p);
    }
    EXPECT_GT(grey, int(path.size()) / 4);
    EXPECT_GT(white, int(path.size()) / 4);
}

// The rectangle from (10, 20) to (60, 50) selects 10 <= x < 60, 20 <= y < 50: the outline is on those
// border pixels, and the image shows on both sides of it.
TEST_F(CDrawViewTest, RectangleOutlineLiesOnTheSelectedBorder)
{
    Open(150, 100);
    Select(SelectionKind::Rectangle, {{60, 50}, {10, 20}});
    const QImage shown = Grab();
    std::vector<QPoint> border;
    for (int x = 10; x < 60; ++x)
        border.insert(border.end(), {QPoint(x, 20), QPoint(x, 49)});
    for (int y = 21; y < 49; ++y)
        border.insert(border.end(), {QPoint(10, y), QPoint(59, y)});
    ExpectDotted(shown, border);
    for (const QPoint p :
         {QPoint(60, 30), QPoint(30, 50), QPoint(9, 30), QPoint(30, 19), QPoint(11, 21), QPoint(58, 48)})
        EXPECT_EQ(shown.pixel(p), picture.pixel(p)) << ::testing::PrintToString(p);
}

TEST_F(CDrawViewTest, OutlineScrollsWithTheImage)
{
    Open(1000, 800);
    Select(SelectionKind::Rectangle, {{310, 250}, {400, 300}});
    ScrollTo(QPoint(300, 200));
    const QImage shown = Grab();
    std::vector<QPoint> top;
    for (int x = 10; x < 100; ++x)
        top.push_back(QPoint(x, 50));
    ExpectDotted(shown, top);
    EXPECT_EQ(shown.pixel(50, 51), picture.pixel(350, 251));
}

TEST_F(CDrawViewTest, OutlineIsClippedAtTheImageEdge)
{
    Open(100, 80);
    Select(SelectionKind::Rectangle, {{50, 40}, {100000, 100000}});
    const QImage shown = Grab();
    for (int x = 100; x < shown.width(); ++x)
        ASSERT_EQ(shown.pixel(x, 40), White) << x;
    for (int y = 80; y < shown.height(); ++y)
        ASSERT_EQ(shown.pixel(60, y), White) << y;
    EXPECT_EQ(shown.pixel(99, 45), picture.pixel(99, 45)) << "the far edge lies outside the image";
}

bool SelectedNear(const QImage& selected, int x, int y, int tolerance)
{
    for (int v = std::max(0, y - tolerance); v <= std::min(selected.height() - 1, y + tolerance); ++v)
        for (int u = std::max(0, x - tolerance); u <= std::min(selected.width() - 1, x + tolerance); ++u)
            if (selected.constScanLine(v)[u] == 255)
                return true;
    return false;
}

// Checks that every pixel the outline changed is selected by `selection`, or within `tolerance`
// pixels of a selected one; returns the changed area.
QRect ExpectChangesSelected(const QImage& shown, const QImage& picture, const CSelection& selection, int tolerance = 0)
{
    const QImage selected = SelectionMasks::Coverage(selection, picture.rect());
    QRect reach;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (shown.pixel(x, y) == picture.pixel(x, y))
                continue;
            EXPECT_TRUE(SelectedNear(selected, x, y, tolerance)) << "outline off the selection at " << x << ", " << y;
            reach |= QRect(x, y, 1, 1);
        }
    }
    return reach;
}

// The ellipse's outline stays inside the half-open rectangle and reaches its four sides. Its curve is
// Qt's, whose pixels may differ from the masks' by one: a tip pixel left out, a step taken a row early.
class EllipseOutlineTest : public CDrawViewTest, public ::testing::WithParamInterface<QRect>
{
};

TEST_P(EllipseOutlineTest, FollowsTheSelectedPixels)
{
    const QRect covered = GetParam();
    Open(150, 100);
    Select(SelectionKind::Ellipse, {covered.bottomRight() + QPoint(1, 1), covered.topLeft()});
    const QRect reach = ExpectChangesSelected(Grab(), picture, view.doc.selection, 1 /*pixel*/);
    EXPECT_TRUE(covered.contains(reach)) << "outline beyond the selected rectangle";
    EXPECT_TRUE(reach.contains(covered.adjusted(1, 1, -1, -1))) << "outline short of a side";
}

INSTANTIATE_TEST_SUITE_P(Sizes, EllipseOutlineTest,
                         ::testing::Values(QRect(10, 20, 121, 57), QRect(0, 0, 150, 100), QRect(40, 30, 2, 50),
                                           QRect(40, 30, 60, 1), QRect(7, 9, 4, 3), QRect(60, 10, 5, 80)),
                         [](const ::testing::TestParamInfo<QRect>& info) {
                             const QRect& r = info.param;
                             return "At" + std::to_string(r.x()) + "x" + std::to_string(r.y()) + "Size" +
                                    std::to_string(r.width()) + "x" + std::to_string(r.height());
                         });

TEST_F(CDrawViewTest, RubberBandReplacesTheOutlineWhileDrawing)
{
    Open(150, 100);
    Select(SelectionKind::Rectangle, {{5, 5}, {20, 20}});
    view.SetTool(SelectionKind::Rectangle);
    Press(QPoint(40, 30));
    Move(QPoint(100, 90));
    const QImage shown = Grab();
    std::vector<QPoint> top;
    for (int x = 40; x < 100; ++x)
        top.push_back(QPoint(x, 30));
    ExpectDotted(shown, top);
    for (int x = 5; x < 20; ++x)
        ASSERT_EQ(shown.pixel(x, 5), picture.pixel(x, 5)) << "committed outline hidden while drawing, " << x;
}

// Qt's stroker may leave out the pixel of a vertex where a straight edge turns into a slanted one, so
// the edge is checked up to its last vertex; every pixel drawn must still lie on the selected outline.
TEST_F(CDrawViewTest, CommittedPolygonOutlineFollowsItsEdges)
{
    Open(150, 100);
    Select(SelectionKind::Polygon, {{10, 10}, {100, 10}, {100, 80}, {10, 10}});
    const QImage shown = Grab();
    std::vector<QPoint> right;
    for (int y = 10; y < 80; ++y)
        right.push_back(QPoint(100, y));
    ExpectDotted(shown, right);
    EXPECT_NE(shown.pixel(55, 45), picture.pixel(55, 45)) << "the closing edge";
    EXPECT_EQ(shown.pixel(55, 30), picture.pixel(55, 30)) << "outlined, not filled";

    ExpectChangesSelected(shown, picture, view.doc.selection);
}

// Only the segments that can show are drawn: one crossing the view with both ends far outside it
// still shows, and the many short ones beyond the view leave the picture alone.
TEST_F(CDrawViewTest, LongStrokeShowsWhereItCrossesTheView)
{
    Open(1000, 800);
    std::vector<QPoint> stroke;
    for (int x = 0; x < 1000; x += 3)
        stroke.push_back(QPoint(x, 10 + x % 7));
    stroke.push_back(QPoint(999, 400));
    stroke.push_back(QPoint(0, 400));
    stroke.push_back(stroke.front());
    Select(SelectionKind::Freeform, stroke);
    ScrollTo(QPoint(300, 300));
    const QImage shown = Grab();
    std::vector<QPoint> crossing;
    for (int x = 0; x < shown.width(); ++x)
        crossing.push_back(QPoint(x, 100));
    ExpectDotted(shown, crossing);
    EXPECT_EQ(shown.copy(0, 0, shown.width(), 100), picture.copy(300, 300, shown.width(), 100));
}

} // namespace
