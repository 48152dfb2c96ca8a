// Every effect, through the document, against the literal whole-image model in ReferenceEffects:
// random parameters and random selections of every kind, on sizes that are not multiples of the
// tile size, compared bit for bit.
#include "support/ReferenceEffects.h"

#include "document/CImageDoc.h"
#include "effects/COverlayPattern.h"
#include "selection/SelectionMasks.h"
#include "support/QtPrinters.h"
#include "support/TestImages.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ostream>
#include <random>
#include <vector>

using namespace Reference;

namespace {

class Rng
{
public:
    explicit Rng(unsigned seed) : engine(seed) {}
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine); }
    bool Chance(int percent) { return Int(0, 99) < percent; }
    std::uint32_t Color() { return std::uint32_t(Int(0, 0xFFFFFF)); }

private:
    std::mt19937 engine;
};

// Where a random selection's points fall relative to the image.
enum class Placement
{
    Inside,
    Spilling,    // partly outside, negative coordinates included
    LargerImage, // kept from a bigger picture: reaching far right and below
    Outside,     // no point inside: nothing is selected
    ZeroExtent,  // all points share one column or one row
    Far,         // coordinates in the hundreds of thousands, either sign
};

QPoint RandomPoint(Rng& rng, QSize size, Placement placement)
{
    const int w = size.width(), h = size.height();
    switch (placement) {
    case Placement::Inside:
        return {rng.Int(0, w - 1), rng.Int(0, h - 1)};
    case Placement::Spilling:
        return {rng.Int(-w / 2, w + w / 2), rng.Int(-h / 2, h + h / 2)};
    case Placement::LargerImage:
        return {rng.Int(0, 3 * w), rng.Int(0, 3 * h)};
    case Placement::Far:
        return {rng.Int(-100000, 100000), rng.Int(-100000, 100000)};
    default:
        return {};
    }
}

std::vector<QPoint> Corners(Rng& rng, QSize size, Placement placement, int count)
{
    std::vector<QPoint> points;
    if (placement == Placement::Outside) {
        // Right of, below, left of or above the image; the bounds' last column and row are never
        // processed, so x == width is already outside.
        const int side = rng.Int(0, 3);
        for (int i = 0; i < count; ++i) {
            QPoint p = RandomPoint(rng, size, Placement::Spilling);
            if (side == 0)
                p.setX(rng.Int(size.width(), 2 * size.width()));
            else if (side == 1)
                p.setY(rng.Int(size.height(), 2 * size.height()));
            else if (side == 2)
                p.setX(rng.Int(-size.width(), -1));
            else
                p.setY(rng.Int(-size.height(), -1));
            points.push_back(p);
        }
        return points;
    }
    const bool sameColumn = rng.Chance(50);
    const QPoint fixed = RandomPoint(rng, size, Placement::Inside);
    for (int i = 0; i < count; ++i) {
        if (placement != Placement::ZeroExtent) {
            points.push_back(RandomPoint(rng, size, placement));
            continue;
        }
        const QPoint p = RandomPoint(rng, size, Placement::Spilling);
        points.push_back(sameColumn ? QPoint(fixed.x(), p.y()) : QPoint(p.x(), fixed.y()));
    }
    return points;
}

Shape RandomShape(Rng& rng, QSize size)
{
    Shape shape;
    shape.kind = SelectionKind(rng.Chance(8) ? 0 : rng.Int(1, 4));
    if (shape.kind == SelectionKind::None)
        return shape;
    const auto placement = Placement(rng.Chance(40) ? 0 : rng.Int(1, 5));
    const int count = shape.kind == SelectionKind::Rectangle || shape.kind == SelectionKind::Ellipse ? 2
                      : shape.kind == SelectionKind::Polygon                                         ? rng.Int(2, 6)
                                                                                                     : rng.Int(4, 24);
    for (const QPoint& p : Corners(rng, size, placement, count))
        shape.points.append(p);
    if (shape.kind == SelectionKind::Polygon || shape.kind == SelectionKind::Freeform)
        shape.points.append(shape.points.front()); // the canvas closes the outline with a copy
    return shape;
}

Shape Make(SelectionKind kind, std::initializer_list<QPoint> points)
{
    return {kind, QList<QPoint>(points)};
}

// Selections that straddle the 128-pixel tile borders, or sit exactly on them.
std::vector<Shape> TileBorderShapes(QSize size)
{
    const int w = size.width(), h = size.height();
    return {
        Make(SelectionKind::Rectangle, {{140, 136}, {120, 120}}),
        Make(SelectionKind::Rectangle, {{127, 0}, {129, h}}),
        Make(SelectionKind::Rectangle, {{128, 128}, {129, 129}}),
        Make(SelectionKind::Rectangle, {{128, 0}, {256, 128}}),
        Make(SelectionKind::Rectangle, {{w + 50, h + 50}, {-50, -50}}),
        Make(SelectionKind::Ellipse, {{100, 100}, {260, 190}}),
        Make(SelectionKind::Ellipse, {{127, 127}, {129, 131}}),
        Make(SelectionKind::Polygon, {{0, 0}, {200, 130}, {10, 250}, {0, 0}}),
        Make(SelectionKind::Freeform, {{126, 126}, {131, 126}, {131, 131}, {126, 131}, {126, 126}}),
    };
}

int RandomAlpha(Rng& rng)
{
    const int pick = rng.Int(0, 3);
    return pick == 0 ? 0 : pick == 1 ? 255 : rng.Int(1, 254);
}

Range RandomRange(Rng& rng)
{
    Range r;
    r.on = rng.Chance(50);
    r.min = rng.Int(-20, 200);
    r.max = r.min + rng.Int(-30, 150); // now and then empty: min above max
    return r;
}

Effect RandomEffect(Rng& rng, EffectKind kind)
{
    Effect e;
    e.kind = kind;
    e.amount = kind == EffectKind::Threshold ? rng.Int(-5, 260) : rng.Int(-300, 300);
    e.red = rng.Int(-300, 300);
    e.green = rng.Int(-300, 300);
    e.blue = rng.Int(-300, 300);
    e.reverse = rng.Chance(50);
    e.redRange = RandomRange(rng);
    e.greenRange = RandomRange(rng);
    e.blueRange = RandomRange(rng);
    e.grayMode = rng.Chance(50);
    e.grayLevel = rng.Int(-100, 100);
    e.color = rng.Color();
    e.direction = rng.Chance(10) ? 45 : rng.Chance(50) ? 0 : 90;
    e.width = 1;
    e.spacing = rng.Chance(80) ? rng.Int(0, 12) : rng.Int(13, 300);
    e.lineKind = 0;
    e.leftRight = rng.Int(0, 8);
    e.topBottom = rng.Int(0, 8);
    e.translucency = RandomAlpha(rng);
    return e;
}

QImage Picture(QSize size)
{
    return MakePhotoLike(size.width(), size.height(), 7);
}

// The image loaded from a PNG written by Qt, one per test.
class EffectReference : public ::testing::TestWithParam<QSize>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("picture.png"));
        ASSERT_TRUE(Picture(GetParam()).save(path, "PNG"));
        ASSERT_TRUE(doc.Load(path)) << doc.GetErrorText().toStdString();
    }

    void TearDown() override { EXPECT_EQ(failures, 0) << "cases that differ, of " << cases; }

    // Applies the effect under the shape and compares with the model, reporting only the first
    // few differing cases in full.
    void Check(const Shape& shape, const Effect& effect)
    {
        const QImage before = doc.CurrentState().ReadAll();
        Select(doc.selection, shape);
        ASSERT_TRUE(ApplyTo(doc, effect)) << doc.GetErrorText().toStdString();
        const std::string diff = Difference(Expected(before, shape, effect), doc.CurrentState().ReadAll());
        const bool boundsKept = doc.selection.bounds == BoundsOf(shape, before.size());
        if ((!diff.empty() || !boundsKept) && ++failures <= 5)
            ADD_FAILURE() << Describe(effect) << "\n  " << Describe(shape) << "\n  " << diff
                          << (boundsKept ? "" : " bounds changed");
        // Most cases start from the loaded picture again; every fourth result stays, so that later
        // effects also meet pictures that earlier ones made (thresholded, filled, ...).
        if (++cases % 4 != 0) {
            ASSERT_TRUE(doc.DropNewest());
        }
    }

    void CheckKinds(std::initializer_list<EffectKind> kinds, unsigned seed, int randomShapes)
    {
        Rng rng(seed);
        for (const EffectKind kind : kinds) {
            for (int i = 0; i < randomShapes; ++i)
                Check(RandomShape(rng, GetParam()), RandomEffect(rng, kind));
            for (const Shape& shape : TileBorderShapes(GetParam()))
                Check(shape, RandomEffect(rng, kind));
        }
    }

    QTemporaryDir dir;
    CImageDoc doc;
    int failures = 0;
    int cases = 0;
};

} // namespace

TEST_P(EffectReference, ToneEffectsMatchTheModel)
{
    CheckKinds({EffectKind::Gray, EffectKind::Invert, EffectKind::Brightness, EffectKind::Rgb, EffectKind::Threshold},
               11, 30);
}

TEST_P(EffectReference, ColorFilterMatchesTheModel)
{
    CheckKinds({EffectKind::ColorFilter}, 12, 60);
}

TEST_P(EffectReference, EdgeParametersMatchTheModel)
{
    Rng rng(13);
    const std::vector<Effect> edges = [] {
        std::vector<Effect> list;
        for (const int amount : {-256, -255, 0, 255, 256, 100000, -100000}) {
            list.push_back({.kind = EffectKind::Gray, .amount = amount});
            list.push_back({.kind = EffectKind::Brightness, .amount = amount});
            list.push_back({.kind = EffectKind::Rgb, .red = amount, .green = -amount, .blue = amount / 2});
        }
        for (const int t : {-1, 0, 1, 255, 256})
            for (const bool reverse : {false, true})
                list.push_back({.kind = EffectKind::Threshold, .amount = t, .reverse = reverse});
        // Ranges that every value passes, that none does, and single values.
        list.push_back({.kind = EffectKind::ColorFilter, .redRange = {true, 0, 255}, .blueRange = {true, -5, 300}});
        list.push_back({.kind = EffectKind::ColorFilter, .greenRange = {true, 200, 100}, .grayLevel = -300});
        list.push_back({.kind = EffectKind::ColorFilter,
                        .redRange = {true, 128, 128},
                        .greenRange = {true, 0, 128},
                        .grayMode = false,
                        .color = 0x123456});
        list.push_back({.kind = EffectKind::ColorFilter, .grayMode = false, .color = 0xABCDEF}); // no channel on
        return list;
    }();
    for (const Effect& e : edges)
        Check(RandomShape(rng, GetParam()), e);
}

TEST_P(EffectReference, OverlaysMatchTheModel)
{
    CheckKinds({EffectKind::Solid, EffectKind::Dots, EffectKind::Lines}, 14, 30);
}

INSTANTIATE_TEST_SUITE_P(Sizes, EffectReference, ::testing::Values(QSize(300, 200), QSize(129, 257)),
                         [](const ::testing::TestParamInfo<QSize>& info) {
                             return std::to_string(info.param.width()) + "x" + std::to_string(info.param.height());
                         });

// The model blends with COverlayPattern::Blend, so that the comparisons can be exact; this pins
// the blend itself to overlay·a/255 + image·(255−a)/255 per channel, exact at the ends.
TEST(EffectReferenceBlend, BlendIsTheWeightedMeanOfTheChannels)
{
    Rng rng(15);
    const auto channel = [](std::uint32_t p, int shift) { return int(p >> shift & 0xFF); };
    int bad = 0;
    for (int a = 0; a <= 255; ++a) {
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t overlay = 0xFF000000u | std::uint32_t(rng.Int(0, 0xFFFFFF));
            const std::uint32_t image = 0xFF000000u | std::uint32_t(rng.Int(0, 0xFFFFFF));
            const std::uint32_t out = COverlayPattern::Blend(overlay, image, a);
            bool ok = out >> 24 == 0xFF;
            for (const int shift : {0, 8, 16}) {
                const double exact = (channel(overlay, shift) * a + channel(image, shift) * (255 - a)) / 255.0;
                const double tolerance = a == 0 || a == 255 ? 0.0 : 1.0;
                ok = ok && std::abs(channel(out, shift) - exact) <= tolerance;
            }
            if (!ok && ++bad <= 5)
                ADD_FAILURE() << std::hex << "Blend(0x" << overlay << ", 0x" << image << ", " << std::dec << a
                              << ") = 0x" << std::hex << out;
        }
    }
    EXPECT_EQ(bad, 0);
}

namespace {

// Whether every pixel the lines changed lies in the processing rectangle and the selection and
// shows the colour blended over the old pixel; for no direction but 0 and 90 nothing may change.
std::string LineFaults(const QImage& before, const QImage& after, const Shape& shape, const Effect& e)
{
    const int w = before.width(), h = before.height();
    CSelection selection;
    Select(selection, shape);
    QImage black(before.size(), QImage::Format_RGB32), white(before.size(), QImage::Format_RGB32);
    SelectionMasks::Draw(selection, before.rect(), black, white);
    const CSelection::Bounds b = BoundsOf(shape, before.size());
    const bool draws = e.direction == 0 || e.direction == 90;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const QRgb old = before.pixel(x, y), now = after.pixel(x, y);
            if (old == now)
                continue;
            const bool processed = b.left <= x && x < b.right && b.top <= y && y < b.bottom;
            if (!draws || !processed || white.pixel(x, y) != 0xFFFFFFFFu)
                return "changed outside the selection at (" + std::to_string(x) + "," + std::to_string(y) + ")";
            if (now != COverlayPattern::Blend(OverlayPixel(e.color), old, e.translucency))
                return "not the blended colour at (" + std::to_string(x) + "," + std::to_string(y) + ")";
        }
    }
    return {};
}

} // namespace

// The shapes of wide and dashed lines are the overlay's own; what every shape must obey is checked.
TEST_P(EffectReference, LinesOfEveryKindOnlyBlendTheColourIntoTheSelection)
{
    Rng rng(16);
    for (int i = 0; i < 40; ++i) {
        const Shape shape = RandomShape(rng, GetParam());
        Effect e = RandomEffect(rng, EffectKind::Lines);
        e.lineKind = rng.Int(0, 4);
        e.width = rng.Chance(10) ? rng.Int(100, 3000) : rng.Int(1, 12);
        e.spacing = rng.Int(0, 20);
        const QImage before = doc.CurrentState().ReadAll();
        Select(doc.selection, shape);
        ASSERT_TRUE(ApplyTo(doc, e));
        const std::string fault = LineFaults(before, doc.CurrentState().ReadAll(), shape, e);
        if (!fault.empty() && ++failures <= 5)
            ADD_FAILURE() << Describe(e) << "\n  " << Describe(shape) << "\n  " << fault;
        ++cases;
        ASSERT_TRUE(doc.DropNewest());
    }
}

namespace {

// Lines on a flat gray picture in an opaque colour, so that the covered pixels can be read back.
class EffectReferenceLineShape : public ::testing::Test
{
protected:
    static constexpr QRgb Flat = 0xFF808080u;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QImage flat(300, 200, QImage::Format_RGB32);
        flat.fill(Flat);
        const QString path = dir.filePath(QStringLiteral("flat.png"));
        ASSERT_TRUE(flat.save(path, "PNG"));
        ASSERT_TRUE(doc.Load(path));
    }

    // covered[c][a] in overlay coordinates, c across the lines and a along them, over the
    // processing rectangle of `shape` (a rectangle, or None for the whole image).
    std::vector<std::vector<bool>> Coverage(const Shape& shape, int direction, int width, int spacing, int kind)
    {
        Select(doc.selection, shape);
        EXPECT_TRUE(doc.ApplyLines(direction, width, spacing, 0x0000FF, kind, 255));
        const QImage after = doc.CurrentState().ReadAll();
        EXPECT_TRUE(doc.DropNewest());
        const CSelection::Bounds b = BoundsOf(shape, after.size());
        const bool across = direction == 0; // horizontal lines: rows are the lines
        const int along = across ? b.right - b.left : b.bottom - b.top;
        std::vector<std::vector<bool>> covered(across ? b.bottom - b.top : b.right - b.left, std::vector<bool>(along));
        for (int c = 0; c < int(covered.size()); ++c)
            for (int a = 0; a < along; ++a)
                covered[c][a] = after.pixel(b.left + (across ? a : c), b.top + (across ? c : a)) != Flat;
        return covered;
    }

    static std::vector<Shape> Areas() { return {Shape{}, Make(SelectionKind::Rectangle, {{291, 190}, {37, 23}})}; }

    QTemporaryDir dir;
    CImageDoc doc;
};

} // namespace

TEST_F(EffectReferenceLineShape, SolidLinesAreWholeRowsOrColumnsRepeatingWithTheStep)
{
    for (const Shape& area : Areas()) {
        for (const int direction : {0, 90}) {
            for (const int width : {1, 2, 3, 5, 8, 13}) {
                for (const int spacing : {0, 1, 3, 7}) {
                    SCOPED_TRACE(Describe(area) + " direction " + std::to_string(direction) + " width " +
                                 std::to_string(width) + " spacing " + std::to_string(spacing));
                    const auto covered = Coverage(area, direction, width, spacing, 0);
                    const int step = width + spacing;
                    int inFirstPeriod = 0;
                    for (int c = 0; c < int(covered.size()); ++c) {
                        const bool line = covered[c][0];
                        EXPECT_EQ(std::size_t(std::count(covered[c].begin(), covered[c].end(), line)),
                                  covered[c].size())
                            << "a solid line covers the whole of its row or column, at " << c;
                        // Lines are centred only before the far edge; one centred beyond it is not drawn.
                        if (c + step + width / 2 < int(covered.size())) {
                            EXPECT_EQ(line, covered[c + step][0]) << "at " << c;
                        }
                        inFirstPeriod += c < step && line ? 1 : 0;
                    }
                    EXPECT_TRUE(covered[0][0]) << "a line is centred on the rectangle's first row or column";
                    EXPECT_NEAR(inFirstPeriod, std::min(width, step), 1) << "about `width` per step";
                }
            }
        }
    }
}

// Written out as the rule reads: a line is centred on every multiple of the step before the far
// edge, and covers width rows (or columns) starting width/2 before its centre.
TEST_F(EffectReferenceLineShape, WideSolidLinesCoverExactlyTheRowsTheirCentresGive)
{
    for (const Shape& area : Areas()) {
        for (const int direction : {0, 90}) {
            for (const int width : {2, 5, 101}) {
                for (const int spacing : {0, 1}) {
                    SCOPED_TRACE(Describe(area) + " direction " + std::to_string(direction) + " width " +
                                 std::to_string(width) + " spacing " + std::to_string(spacing));
                    const auto covered = Coverage(area, direction, width, spacing, 0);
                    const int extent = int(covered.size());
                    std::vector<bool> expected(std::size_t(extent), false);
                    for (int centre = 0; centre < extent; centre += width + spacing)
                        for (int c = centre - width / 2; c < centre - width / 2 + width; ++c)
                            if (c >= 0 && c < extent)
                                expected[std::size_t(c)] = true;
                    std::vector<bool> firstAlong;
                    for (const auto& line : covered)
                        firstAlong.push_back(line[0]);
                    EXPECT_EQ(firstAlong, expected);
                }
            }
        }
    }
}

TEST_F(EffectReferenceLineShape, DashedLinesLieWithinTheSolidLineWithGapsAlongIt)
{
    for (const Shape& area : Areas()) {
        for (const int direction : {0, 90}) {
            for (const int width : {1, 2, 4}) {
                const auto solid = Coverage(area, direction, width, 5, 0);
                for (const int kind : {1, 2, 3, 4}) {
                    SCOPED_TRACE(Describe(area) + " direction " + std::to_string(direction) + " width " +
                                 std::to_string(width) + " kind " + std::to_string(kind));
                    const auto dashed = Coverage(area, direction, width, 5, kind);
                    int outside = 0, covered = 0, gaps = 0;
                    for (std::size_t c = 0; c < dashed.size(); ++c) {
                        for (std::size_t a = 0; a < dashed[c].size(); ++a) {
                            covered += dashed[c][a] ? 1 : 0;
                            outside += dashed[c][a] && !solid[c][a] ? 1 : 0;
                            gaps += solid[c][a] && !dashed[c][a] ? 1 : 0;
                        }
                    }
                    EXPECT_EQ(outside, 0);
                    EXPECT_GT(covered, 0);
                    EXPECT_GT(gaps, 0) << "lines a few hundred pixels long show their pattern";
                }
            }
        }
    }
}

// Enough tiles (9 × 6) for the pipeline to share the work with a second thread.
TEST(EffectReferenceLarge, ManyTilesMatchTheModel)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("large.png"));
    ASSERT_TRUE(Picture(QSize(1030, 700)).save(path, "PNG"));
    CImageDoc doc;
    ASSERT_TRUE(doc.Load(path));
    const std::vector<Shape> shapes = {
        Shape{},
        Make(SelectionKind::Ellipse, {{1100, 650}, {-40, 3}}),
        Make(SelectionKind::Polygon, {{5, 690}, {515, 0}, {1029, 690}, {300, 200}, {5, 690}}),
    };
    Rng rng(17);
    for (const Shape& shape : shapes) {
        for (const EffectKind kind : {EffectKind::Gray, EffectKind::Threshold, EffectKind::ColorFilter}) {
            const Effect e = RandomEffect(rng, kind);
            const QImage before = doc.CurrentState().ReadAll();
            Select(doc.selection, shape);
            ASSERT_TRUE(ApplyTo(doc, e));
            EXPECT_EQ(Difference(Expected(before, shape, e), doc.CurrentState().ReadAll()), "")
                << Describe(e) << "\n  " << Describe(shape);
        }
    }
}
