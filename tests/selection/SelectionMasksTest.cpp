#include "selection/SelectionMasks.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

namespace {

using Rule = std::function<bool(int x, int y)>;

CSelection Make(SelectionKind kind, const std::vector<QPoint>& points)
{
    CSelection s;
    s.Clear();
    for (const QPoint& p : points)
        s.AddPoint(p);
    s.kind = kind;
    return s;
}

std::string Describe(const CSelection& s)
{
    std::string out = ::testing::PrintToString(s.kind) + ", points";
    for (const QPoint& p : s.points)
        out += ' ' + ::testing::PrintToString(p);
    return out;
}

bool Selected(const QImage& coverage, int x, int y)
{
    return coverage.constScanLine(y)[x] == 255;
}

// Compares a coverage of `region` with a rule over image-plane pixels; names the first wrong pixels.
::testing::AssertionResult Matches(const QImage& coverage, const QRect& region, const Rule& rule)
{
    if (coverage.size() != region.size() || coverage.format() != QImage::Format_Grayscale8)
        return ::testing::AssertionFailure() << "not a Grayscale8 image of " << ::testing::PrintToString(region);
    int wrong = 0;
    std::string where;
    for (int y = 0; y < region.height(); ++y) {
        for (int x = 0; x < region.width(); ++x) {
            const uchar v = coverage.constScanLine(y)[x];
            const QPoint p = region.topLeft() + QPoint(x, y);
            if ((v != 0 && v != 255) || (v == 255) != rule(p.x(), p.y())) {
                if (++wrong <= 5)
                    where += ' ' + ::testing::PrintToString(p) + (v == 255 ? " selected" : " not selected");
            }
        }
    }
    if (wrong == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels differ from the rule:" << where;
}

// Equal images, or the first few differing pixels (x, y: expected/actual).
::testing::AssertionResult SameImage(const QImage& expected, const QImage& actual)
{
    if (expected.size() != actual.size() || expected.format() != actual.format())
        return ::testing::AssertionFailure() << "size or format differs";
    int wrong = 0;
    std::string where;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            if (expected.pixel(x, y) != actual.pixel(x, y) && ++wrong <= 5)
                where += ' ' + std::to_string(x) + ", " + std::to_string(y) + ": " +
                         std::to_string(qGray(expected.pixel(x, y))) + '/' + std::to_string(qGray(actual.pixel(x, y)));
        }
    }
    if (wrong == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong << " pixels differ:" << where;
}

// The masks agree with the coverage: white 0xFFFFFFFF and black 0xFF000000 where selected, the reverse
// elsewhere. Read raw, as QImage::pixel() reports the fourth byte of RGB32 as 0xFF whatever it holds.
::testing::AssertionResult MasksMatch(const QImage& coverage, const QImage& black, const QImage& white)
{
    if (black.format() != QImage::Format_RGB32 || white.format() != QImage::Format_RGB32 ||
        black.size() != coverage.size() || white.size() != coverage.size())
        return ::testing::AssertionFailure() << "masks are not RGB32 images of the coverage's size";
    for (int y = 0; y < coverage.height(); ++y) {
        const auto* whiteRow = reinterpret_cast<const QRgb*>(white.constScanLine(y));
        const auto* blackRow = reinterpret_cast<const QRgb*>(black.constScanLine(y));
        for (int x = 0; x < coverage.width(); ++x) {
            const QRgb inside = Selected(coverage, x, y) ? 0xFFFFFFFF : 0xFF000000;
            if (whiteRow[x] != inside || blackRow[x] != (inside ^ 0x00FFFFFF))
                return ::testing::AssertionFailure() << "masks differ from the coverage at " << x << ", " << y;
        }
    }
    return ::testing::AssertionSuccess();
}

QImage Cut(const QImage& coverage, const QRect& plane, const QRect& region)
{
    return coverage.copy(region.translated(-plane.topLeft()));
}

// ---- Pixel rules of each kind ----

struct RuleCase
{
    const char* name;
    CSelection selection;
    QSize image;
    Rule rule;
};

void PrintTo(const RuleCase& c, std::ostream* os)
{
    *os << c.name;
}

class SelectionMaskRule : public ::testing::TestWithParam<RuleCase>
{
};

const QPoint kTriangle[] = {{0, 0}, {10, 0}, {0, 10}, {0, 0}};

std::vector<RuleCase> RuleCases()
{
    const auto tri = std::vector<QPoint>(std::begin(kTriangle), std::end(kTriangle));
    const auto inTriangle = [](int x, int y) { return x >= 0 && y >= 0 && x + y <= 10; };
    return {
        {"NoneSelectsAll", Make(SelectionKind::None, {}), {64, 48}, [](int, int) { return true; }},
        {"RectangleReversedCorners",
         Make(SelectionKind::Rectangle, {{10, 20}, {5, 8}}),
         {64, 48},
         [](int x, int y) { return x >= 5 && x <= 9 && y >= 8 && y <= 19; }},
        {"RectangleWholeImage",
         Make(SelectionKind::Rectangle, {{0, 0}, {64, 48}}),
         {64, 48},
         [](int, int) { return true; }},
        {"RectangleZeroWidth",
         Make(SelectionKind::Rectangle, {{7, 3}, {7, 30}}),
         {64, 48},
         [](int, int) { return false; }},
        {"RectangleBeyondImage",
         Make(SelectionKind::Rectangle, {{300, -40}, {-50, 30}}),
         {64, 48},
         [](int, int y) { return y < 30; }},
        {"PolygonTriangle", Make(SelectionKind::Polygon, tri), {64, 48}, inTriangle},
        {"FreeformTriangle", Make(SelectionKind::Freeform, tri), {64, 48}, inTriangle},
        {"PolygonAxisAligned",
         Make(SelectionKind::Polygon, {{2, 3}, {9, 3}, {9, 7}, {2, 7}, {2, 3}}),
         {64, 48},
         [](int x, int y) { return x >= 2 && x <= 9 && y >= 3 && y <= 7; }},
        {"PolygonSingleVertex",
         Make(SelectionKind::Polygon, {{5, 6}, {5, 6}}),
         {64, 48},
         [](int x, int y) { return x == 5 && y == 6; }},
        // The outer square, then the inner one: the inner square is enclosed twice, so only its outline stays.
        {"FreeformEnclosedTwice",
         Make(SelectionKind::Freeform,
              {{0, 0}, {40, 0}, {40, 40}, {0, 40}, {0, 0}, {10, 10}, {30, 10}, {30, 30}, {10, 30}, {10, 10}, {0, 0}}),
         {64, 48},
         [](int x, int y) { return x <= 40 && y <= 40 && !(x > 10 && x < 30 && y > 10 && y < 30); }},
        {"FreeformLoopDrawnTwice",
         Make(SelectionKind::Freeform,
              {{10, 10}, {30, 10}, {30, 30}, {10, 30}, {10, 10}, {30, 10}, {30, 30}, {10, 30}, {10, 10}}),
         {64, 48},
         [](int x, int y) {
             return x >= 10 && x <= 30 && y >= 10 && y <= 30 && (x == 10 || x == 30 || y == 10 || y == 30);
         }},
        {"PolygonOutsideImage",
         Make(SelectionKind::Polygon, {{-100, -100}, {500, -100}, {-100, 500}, {-100, -100}}),
         {64, 48},
         [](int, int) { return true; }},
        {"UnknownKind", Make(SelectionKind(5), {{0, 0}, {64, 48}}), {64, 48}, [](int, int) { return false; }},
        {"NegativeKind", Make(SelectionKind(-1), {{0, 0}, {64, 48}}), {64, 48}, [](int, int) { return false; }},
        {"ExtremeRectangle",
         Make(SelectionKind::Rectangle, {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}}),
         {64, 48},
         [](int, int) { return true; }},
        {"ExtremeEllipse",
         Make(SelectionKind::Ellipse, {{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}}),
         {64, 48},
         [](int, int) { return true; }},
        {"ExtremePolygon",
         Make(SelectionKind::Polygon, {{INT_MIN, INT_MIN}, {INT_MAX, 0}, {0, INT_MAX}, {INT_MIN, INT_MIN}}),
         {64, 48},
         [](int, int) { return true; }},
    };
}

TEST_P(SelectionMaskRule, CoverageFollowsTheRule)
{
    const RuleCase& c = GetParam();
    const QRect image(QPoint(0, 0), c.image);
    EXPECT_TRUE(Matches(SelectionMasks::Coverage(c.selection, image), image, c.rule)) << Describe(c.selection);
}

// Both masks, for every kind: black where selected in one, white in the other, nothing in between.
TEST_P(SelectionMaskRule, MasksAreExactComplements)
{
    const RuleCase& c = GetParam();
    const QRect image(QPoint(0, 0), c.image);
    QImage black(c.image, QImage::Format_RGB32);
    QImage white(c.image, QImage::Format_RGB32);
    SelectionMasks::Draw(c.selection, image, black, white);
    EXPECT_TRUE(MasksMatch(SelectionMasks::Coverage(c.selection, image), black, white)) << Describe(c.selection);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SelectionMaskRule, ::testing::ValuesIn(RuleCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SelectionMaskRule, PentagramCentreIsEnclosedTwice)
{
    // Star of five points around (32, 32), drawn by joining every second vertex.
    const CSelection star = Make(SelectionKind::Freeform, {{32, 2}, {50, 56}, {3, 22}, {61, 22}, {14, 56}, {32, 2}});
    const QRect image(0, 0, 64, 64);
    const QImage coverage = SelectionMasks::Coverage(star, image);
    EXPECT_FALSE(Selected(coverage, 32, 34)) << "centre pentagon";
    EXPECT_TRUE(Selected(coverage, 32, 10)) << "top point";
    EXPECT_TRUE(Selected(coverage, 10, 25)) << "left point";
    EXPECT_TRUE(Selected(coverage, 32, 2)) << "vertex";
    EXPECT_FALSE(Selected(coverage, 2, 2)) << "outside";
}

TEST(SelectionMaskRule, EmptyRegionGivesNullCoverage)
{
    EXPECT_TRUE(SelectionMasks::Coverage(Make(SelectionKind::None, {}), QRect(5, 5, 0, 3)).isNull());
}

// ---- Ellipse: what any rasteriser of the inscribed ellipse must give ----

class SelectionMaskEllipse : public ::testing::TestWithParam<QRect>
{
};

TEST_P(SelectionMaskEllipse, InscribedSymmetricAndTouchesEverySide)
{
    const QRect box = GetParam();
    const QRect plane = box.adjusted(-3, -3, 3, 3);
    const CSelection s = Make(SelectionKind::Ellipse, {box.bottomRight() + QPoint(1, 1), box.topLeft()});
    const QImage c = SelectionMasks::Coverage(s, plane);
    const auto at = [&](int x, int y) {
        return plane.contains(x, y) && Selected(c, x - plane.left(), y - plane.top());
    };
    // In units of the semi-axes from the centre: where a pixel's nearest and centre points lie.
    const double cx = box.left() + box.width() / 2.0, cy = box.top() + box.height() / 2.0;
    const double rx = box.width() / 2.0, ry = box.height() / 2.0;
    const auto norm = [&](double x, double y) {
        return (x - cx) * (x - cx) / (rx * rx) + (y - cy) * (y - cy) / (ry * ry);
    };
    const auto clamp = [](double v, double lo, double hi) { return v < lo ? lo : (v > hi ? hi : v); };
    bool top = false, bottom = false, left = false, right = false;
    for (int y = plane.top(); y <= plane.bottom(); ++y) {
        int runs = 0;
        for (int x = plane.left(); x <= plane.right(); ++x) {
            const bool on = at(x, y);
            runs += on && !at(x - 1, y);
            ASSERT_TRUE(!on || box.contains(x, y)) << "outside the rectangle at " << x << ", " << y;
            ASSERT_EQ(on, at(2 * box.left() + box.width() - 1 - x, y)) << "not mirrored at " << x << ", " << y;
            ASSERT_EQ(on, at(x, 2 * box.top() + box.height() - 1 - y)) << "not flipped at " << x << ", " << y;
            ASSERT_TRUE(on || norm(x + 0.5, y + 0.5) >= 1) << "interior pixel missing at " << x << ", " << y;
            const double nearest = norm(clamp(cx, x, x + 1), clamp(cy, y, y + 1));
            ASSERT_TRUE(!on || nearest < 1) << "pixel wholly outside the ellipse at " << x << ", " << y;
            top |= on && y == box.top();
            bottom |= on && y == box.bottom();
            left |= on && x == box.left();
            right |= on && x == box.right();
        }
        ASSERT_LE(runs, 1) << "row " << y << " is broken";
    }
    EXPECT_TRUE(top && bottom && left && right) << top << bottom << left << right;
}

INSTANTIATE_TEST_SUITE_P(Shapes, SelectionMaskEllipse,
                         ::testing::Values(QRect(0, 0, 1, 1), QRect(4, 4, 1, 9), QRect(4, 4, 9, 1), QRect(0, 0, 2, 2),
                                           QRect(3, 5, 3, 3), QRect(10, 20, 40, 30), QRect(-20, 7, 41, 31),
                                           QRect(0, 0, 400, 2), QRect(0, 0, 3, 300), QRect(-5, -9, 250, 251)),
                         [](const auto& info) {
                             return std::to_string(info.param.width()) + 'x' + std::to_string(info.param.height());
                         });

// ---- Polygons against an independent even-odd oracle ----

// Even-odd test of the point (px, py) against the integer vertices; on an edge counts as inside.
bool InsideOrOnEdge(const std::vector<QPoint>& v, int px, int py, bool* onEdge)
{
    bool odd = false;
    *onEdge = false;
    for (size_t i = 0; i + 1 < v.size(); ++i) {
        const std::int64_t x0 = v[i].x(), y0 = v[i].y(), x1 = v[i + 1].x(), y1 = v[i + 1].y();
        const std::int64_t cross = (x1 - x0) * (py - y0) - (y1 - y0) * (px - x0);
        if (cross == 0 && px >= std::min(x0, x1) && px <= std::max(x0, x1) && py >= std::min(y0, y1) &&
            py <= std::max(y0, y1))
            *onEdge = true;
        if ((y0 > py) != (y1 > py) && (cross > 0) == (y1 > y0))
            odd = !odd;
    }
    return odd || *onEdge;
}

// Within half a pixel, across the edge's main direction, of some edge: where the outline may go.
bool NearAnEdge(const std::vector<QPoint>& v, int px, int py)
{
    for (size_t i = 0; i + 1 < v.size(); ++i) {
        const std::int64_t dx = v[i + 1].x() - v[i].x(), dy = v[i + 1].y() - v[i].y();
        const std::int64_t ox = px - v[i].x(), oy = py - v[i].y();
        const bool xMajor = std::abs(dx) >= std::abs(dy);
        const std::int64_t major = xMajor ? dx : dy, along = xMajor ? ox : oy;
        if (along * major < 0 || std::abs(along) > std::abs(major))
            continue;
        if (major == 0 ? (ox == 0 && oy == 0)
                       : std::abs(2 * (xMajor ? oy * dx - ox * dy : ox * dy - oy * dx)) <= std::abs(major))
            return true;
    }
    return false;
}

TEST(SelectionMaskPolygon, InteriorPlusThinOutlineForRandomPolygons)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> coord(-8, 60);
    for (int round = 0; round < 150; ++round) {
        std::vector<QPoint> v(1 + rng() % 7);
        for (QPoint& p : v)
            p = QPoint(coord(rng), coord(rng) * 3 / 4);
        v.push_back(v.front());
        const QRect image(0, 0, 64, 48);
        const QImage c = SelectionMasks::Coverage(Make(SelectionKind::Polygon, v), image);
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64; ++x) {
                bool onEdge = false;
                const bool inside = InsideOrOnEdge(v, x, y, &onEdge);
                const bool on = Selected(c, x, y);
                ASSERT_TRUE(on || !inside)
                    << "missing " << x << ", " << y << " of " << Describe(Make(SelectionKind::Polygon, v));
                ASSERT_TRUE(!on || inside || NearAnEdge(v, x, y))
                    << "stray " << x << ", " << y << " of " << Describe(Make(SelectionKind::Polygon, v));
            }
        }
    }
}

// ---- Regions: a region rendering is the same region of a whole rendering ----

struct RandomSelections
{
    std::mt19937 rng;

    int Coord(int size)
    {
        // Mostly near the image, sometimes well outside, now and then very far.
        const unsigned pick = rng() % 16;
        const int scale = pick < 10 ? size + 8 : (pick < 14 ? 4 * size : 100000);
        return std::uniform_int_distribution<int>(-scale + size / 2, scale + size / 2)(rng);
    }

    QPoint Point() { return {Coord(64), Coord(48)}; }

    CSelection Next(SelectionKind kind)
    {
        std::vector<QPoint> points{Point()};
        if (kind == SelectionKind::Rectangle || kind == SelectionKind::Ellipse)
            points.push_back(Point());
        const int more = kind == SelectionKind::Polygon ? int(rng() % 8) : 2 + int(rng() % 30);
        for (int i = 0; kind >= SelectionKind::Polygon && i < more; ++i) {
            // A freehand stroke moves in small steps; polygon vertices jump anywhere.
            const QPoint step(int(rng() % 21) - 10, int(rng() % 21) - 10);
            points.push_back(kind == SelectionKind::Freeform ? points.back() + step : Point());
        }
        if (kind >= SelectionKind::Polygon)
            points.push_back(points.front());
        return Make(kind, points);
    }

    QRect Region(const QRect& within)
    {
        const int x = within.left() + int(rng() % within.width()), y = within.top() + int(rng() % within.height());
        return QRect(x, y, 1 + int(rng() % (within.right() + 1 - x)), 1 + int(rng() % (within.bottom() + 1 - y)));
    }
};

class SelectionMaskRegion : public ::testing::TestWithParam<SelectionKind>
{
};

// The processing rectangle of a selection: its bounds, as the effects use them.
QRect Processing(const CSelection& s)
{
    return QRect(QPoint(s.bounds.left, s.bounds.top), QPoint(s.bounds.right - 1, s.bounds.bottom - 1));
}

TEST_P(SelectionMaskRegion, RegionsEqualTheWholeRendering)
{
    RandomSelections random{std::mt19937(11 + unsigned(GetParam()))};
    const QRect image(0, 0, 64, 48);
    const QRect plane = image.adjusted(-32, -24, 32, 24); // reaches beyond the image on every side
    for (int round = 0; round < 300; ++round) {
        const CSelection s = random.Next(GetParam());
        const QImage whole = SelectionMasks::Coverage(s, plane);
        ASSERT_TRUE(SameImage(Cut(whole, plane, image), SelectionMasks::Coverage(s, image))) << Describe(s);
        for (const QRect& region : {random.Region(image), random.Region(plane), Processing(s) & plane}) {
            if (!region.isEmpty()) {
                ASSERT_TRUE(SameImage(Cut(whole, plane, region), SelectionMasks::Coverage(s, region)))
                    << Describe(s) << " in " << ::testing::PrintToString(region);
            }
        }
    }
}

TEST_P(SelectionMaskRegion, ShapesMoveWithTheirPoints)
{
    RandomSelections random{std::mt19937(23 + unsigned(GetParam()))};
    const QRect image(0, 0, 64, 48);
    for (int round = 0; round < 200; ++round) {
        const CSelection s = random.Next(GetParam());
        const QPoint shift(int(random.rng() % 4001) - 2000, int(random.rng() % 3001) - 1500);
        CSelection moved = s;
        for (QPoint& p : moved.points)
            p += shift;
        ASSERT_TRUE(
            SameImage(SelectionMasks::Coverage(s, image), SelectionMasks::Coverage(moved, image.translated(shift))))
            << Describe(s) << " moved by " << ::testing::PrintToString(shift);
    }
}

// Each mask is rendered on its own, so check them against the coverage of the same region.
TEST_P(SelectionMaskRegion, DrawnMasksMatchTheCoverage)
{
    RandomSelections random{std::mt19937(31 + unsigned(GetParam()))};
    const QRect plane(-32, -24, 128, 96);
    for (int round = 0; round < 50; ++round) {
        const CSelection s = random.Next(GetParam());
        const QRect region = random.Region(plane);
        QImage black(region.size(), QImage::Format_RGB32), white(region.size(), QImage::Format_RGB32);
        SelectionMasks::Draw(s, region, black, white);
        ASSERT_TRUE(MasksMatch(SelectionMasks::Coverage(s, region), black, white))
            << Describe(s) << " in " << ::testing::PrintToString(region);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SelectionMaskRegion,
                         ::testing::Values(SelectionKind::None, SelectionKind::Rectangle, SelectionKind::Ellipse,
                                           SelectionKind::Polygon, SelectionKind::Freeform),
                         [](const auto& info) { return ::testing::PrintToString(info.param); });

} // namespace
