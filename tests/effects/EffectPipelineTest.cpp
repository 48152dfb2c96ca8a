// What every effect does to the history, whatever its pixels: refusals, one state per application,
// tile sharing, exhausted memory and the preview step.
#include "support/ReferenceEffects.h"

#include "document/CImageDoc.h"
#include "effects/CEffectPipeline.h"
#include "support/PhotoDocumentTest.h"
#include "support/QtPrinters.h"
#include "tiles/CTilePool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace Reference;

namespace {

// One call of every effect, with parameters that change pixels.
std::vector<Effect> EveryEffect()
{
    return {
        {.kind = EffectKind::Gray, .amount = 20},
        {.kind = EffectKind::Invert},
        {.kind = EffectKind::Brightness, .amount = 40},
        {.kind = EffectKind::Rgb, .red = 10, .green = -20, .blue = 30},
        {.kind = EffectKind::Threshold, .amount = 128},
        {.kind = EffectKind::ColorFilter, .redRange = {true, 0, 100}, .grayLevel = 10},
        {.kind = EffectKind::Lines, .color = 0x0000FF, .width = 2, .spacing = 3, .translucency = 200},
        {.kind = EffectKind::Dots, .color = 0x00FF00, .leftRight = 1, .topBottom = 2},
        {.kind = EffectKind::Solid, .color = 0xFF0000, .translucency = 128},
    };
}

// Effects that leave every pixel as it is.
std::vector<Effect> NoChangeEffects()
{
    return {
        {.kind = EffectKind::Brightness, .amount = 0},
        {.kind = EffectKind::Rgb},
        {.kind = EffectKind::ColorFilter, .grayMode = false, .color = 0x123456},
        {.kind = EffectKind::Lines, .direction = 45, .width = 3},
        {.kind = EffectKind::Lines, .width = 2, .translucency = 0},
        {.kind = EffectKind::Dots, .translucency = 0},
        {.kind = EffectKind::Solid, .color = 0xFFFFFF, .translucency = 0},
    };
}

std::vector<const void*> TileIds(const ImageState& state)
{
    std::vector<const void*> ids;
    for (int row = 0; row < state.TileRows(); ++row)
        for (int column = 0; column < state.TileColumns(); ++column)
            ids.push_back(state.TileId(column, row));
    return ids;
}

int DifferentTiles(const std::vector<const void*>& a, const std::vector<const void*>& b)
{
    int count = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        count += a[i] != b[i] ? 1 : 0;
    return count;
}

// Makes the tile pool refuse any tile beyond those in use, for the guard's lifetime.
class ExhaustedMemory
{
public:
    ExhaustedMemory() { CTilePool::Shared().SetLiveLimit(CTilePool::Shared().LiveBytes()); }
    ~ExhaustedMemory() { CTilePool::Shared().SetLiveLimit(0); }
    ExhaustedMemory(const ExhaustedMemory&) = delete;
    ExhaustedMemory& operator=(const ExhaustedMemory&) = delete;
};

class EffectPipeline : public PhotoDocumentTest
{
protected:
    void SetUp() override { LoadPhoto(300, 200, 3); }
};

// Every effect as the model draws it (lines one pixel wide), and patterns across the rows with odd
// periods, so that a piece of a row at the wrong position shows.
std::vector<Effect> ModelledEffects()
{
    std::vector<Effect> effects = EveryEffect();
    for (Effect& e : effects) {
        if (e.kind == EffectKind::Lines)
            e.width = 1;
    }
    effects.push_back({.kind = EffectKind::Lines, .color = 0x00FF00, .direction = 90, .width = 1, .spacing = 4});
    effects.push_back({.kind = EffectKind::Dots, .color = 0xFF0000, .leftRight = 2, .topBottom = 0});
    return effects;
}

} // namespace

TEST(EffectPipelineUnloaded, EveryEffectIsRefusedWithoutAnImage)
{
    CImageDoc doc;
    for (const Effect& e : EveryEffect()) {
        SCOPED_TRACE(Describe(e));
        EXPECT_FALSE(ApplyTo(doc, e));
        EXPECT_EQ(doc.GetErrorText(), QStringLiteral("图片不存在,不能进行处理"));
        EXPECT_EQ(doc.UndoDepth(), 0u);
        EXPECT_FALSE(doc.IsModified());
    }
}

TEST_F(EffectPipeline, EachApplicationAppendsOneStateAndLeavesTheRedoStack)
{
    ASSERT_TRUE(ApplyTo(doc, EveryEffect()[1]));
    ASSERT_TRUE(doc.Undo());
    ASSERT_EQ(doc.RedoDepth(), 1u);
    for (const Effect& e : EveryEffect()) {
        SCOPED_TRACE(Describe(e));
        const std::size_t depth = doc.UndoDepth();
        doc.selection.Clear();
        ASSERT_TRUE(ApplyTo(doc, e));
        EXPECT_EQ(doc.UndoDepth(), depth + 1);
        EXPECT_EQ(doc.RedoDepth(), 1u);
        EXPECT_EQ(doc.selection.bounds, (CSelection::Bounds{0, 0, 300, 200})) << "no selection: the whole image";
    }
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(EffectPipeline, EffectsThatChangeNothingAppendAStateSharingEveryTile)
{
    for (const Effect& e : NoChangeEffects()) {
        SCOPED_TRACE(Describe(e));
        const std::size_t depth = doc.UndoDepth();
        const std::vector<const void*> below = TileIds(doc.CurrentState());
        ASSERT_TRUE(ApplyTo(doc, e));
        EXPECT_EQ(doc.UndoDepth(), depth + 1);
        EXPECT_EQ(Picture(), original);
        EXPECT_EQ(DifferentTiles(below, TileIds(doc.CurrentState())), 0) << "the new state shares every tile";
    }
}

TEST_F(EffectPipeline, SelectionWhollyOutsideChangesNothingButAppends)
{
    const std::vector<Shape> outside = {
        {SelectionKind::Rectangle, {{300, 10}, {400, 50}}},
        {SelectionKind::Ellipse, {{-80, -60}, {-1, 150}}},
        {SelectionKind::Polygon, {{10, 200}, {290, 260}, {150, 400}, {10, 200}}},
        {SelectionKind::Rectangle, {{50, 20}, {50, 180}}}, // no width
    };
    for (const Shape& shape : outside) {
        for (const Effect& e : EveryEffect()) {
            SCOPED_TRACE(Describe(shape) + " " + Describe(e));
            const std::size_t depth = doc.UndoDepth();
            Select(doc.selection, shape);
            ASSERT_TRUE(ApplyTo(doc, e));
            EXPECT_EQ(doc.UndoDepth(), depth + 1);
            EXPECT_EQ(Picture(), original);
        }
    }
}

TEST_F(EffectPipeline, ExhaustedMemoryRefusesAndKeepsTheHistory)
{
    const std::vector<Shape> shapes = {Shape{}, {SelectionKind::Ellipse, {{20, 20}, {200, 150}}}};
    for (const bool modifiedBefore : {false, true}) {
        if (modifiedBefore) {
            ASSERT_TRUE(doc.ApplyInvert());
        }
        const QImage picture = Picture();
        for (const Shape& shape : shapes) {
            for (const Effect& e : EveryEffect()) {
                SCOPED_TRACE(Describe(shape) + " " + Describe(e));
                const std::size_t depth = doc.UndoDepth();
                Select(doc.selection, shape);
                bool applied = true;
                {
                    ExhaustedMemory guard;
                    applied = ApplyTo(doc, e);
                }
                EXPECT_FALSE(applied);
                EXPECT_EQ(doc.GetErrorText(), QStringLiteral("内存不足,不能进行处理"));
                EXPECT_EQ(doc.UndoDepth(), depth);
                EXPECT_EQ(doc.IsModified(), modifiedBefore);
                EXPECT_EQ(Picture(), picture);
            }
        }
    }
    ASSERT_TRUE(doc.ApplyInvert()) << "memory is back";
}

TEST_F(EffectPipeline, NewStateHoldsOnlyTheTilesTheSelectionMeets)
{
    // Placed by the picture's own tiles, whatever their shape.
    const ImageState& first = doc.CurrentState();
    ASSERT_GE(first.TileColumns(), 2);
    ASSERT_GE(first.TileRows(), 2);
    const QRect second = first.TileRect(1, 0);
    const QPoint corner(first.TileWidth(), first.TileHeight()); // where tiles (0,0) to (1,1) meet
    struct Case
    {
        Shape shape;
        int changedTiles;
    };
    const std::vector<Case> cases = {
        {{SelectionKind::Rectangle, {second.topLeft() + QPoint(2, 5), second.topLeft() + QPoint(3, 6)}},
         1},                                                                                      // one pixel
        {{SelectionKind::Rectangle, {second.topLeft(), second.bottomRight() + QPoint(1, 1)}}, 1}, // exactly one tile
        {{SelectionKind::Ellipse, {corner - QPoint(28, 28), corner + QPoint(12, 12)}}, 4}, // around a tile corner
        {Shape{}, first.TileColumns() * first.TileRows()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Describe(c.shape));
        const std::vector<const void*> below = TileIds(doc.CurrentState());
        Select(doc.selection, c.shape);
        ASSERT_TRUE(doc.ApplyInvert());
        const std::vector<const void*> now = TileIds(doc.CurrentState());
        EXPECT_EQ(DifferentTiles(below, now), c.changedTiles);
        const CSelection::Bounds b = BoundsOf(c.shape, first.size());
        const QRect processed(QPoint(b.left, b.top), QPoint(b.right - 1, b.bottom - 1));
        for (int row = 0; row < first.TileRows(); ++row) {
            for (int column = 0; column < first.TileColumns(); ++column) {
                const std::size_t i = std::size_t(row) * first.TileColumns() + column;
                EXPECT_EQ(below[i] != now[i], first.TileRect(column, row).intersects(processed))
                    << "tile " << column << ", " << row;
            }
        }
    }
}

TEST_F(EffectPipeline, PreviewStepGivesTheSamePictureAgain)
{
    const std::vector<Shape> shapes = {Shape{}, {SelectionKind::Ellipse, {{250, 190}, {30, 10}}}};
    const std::vector<Effect> effects = ModelledEffects();
    for (const Shape& shape : shapes) {
        for (const Effect& e : effects) {
            SCOPED_TRACE(Describe(shape) + " " + Describe(e));
            const QImage below = Picture();
            Select(doc.selection, shape);
            ASSERT_TRUE(ApplyTo(doc, e));
            const QImage first = Picture();
            const std::size_t depth = doc.UndoDepth();
            ASSERT_TRUE(doc.DropNewest());
            EXPECT_EQ(Picture(), below);
            ASSERT_TRUE(ApplyTo(doc, e));
            EXPECT_EQ(doc.UndoDepth(), depth);
            EXPECT_EQ(Picture(), first);
        }
    }
}

// A document that keeps no history changes its one state where it lies: the same pictures as one
// that keeps every step, for every effect and shape, and no tile taken beyond the picture's own.
TEST_F(EffectPipeline, WithoutHistoryEffectsChangeThePictureInPlace)
{
    CImageDoc inPlace;
    inPlace.KeepNoHistory();
    ASSERT_TRUE(inPlace.Load(dir.filePath(QStringLiteral("picture.png"))));
    const std::vector<Shape> shapes = {Shape{},
                                       {SelectionKind::Ellipse, {QPoint(20, 10), QPoint(250, 180)}},
                                       {SelectionKind::Rectangle, {QPoint(130, 0), QPoint(300, 200)}}};
    for (const Shape& shape : shapes) {
        for (const Effect& e : EveryEffect()) {
            SCOPED_TRACE(Describe(shape) + " " + Describe(e));
            Select(doc.selection, shape);
            Select(inPlace.selection, shape);
            ASSERT_TRUE(ApplyTo(doc, e));
            const std::size_t live = CTilePool::Shared().LiveBytes();
            ASSERT_TRUE(ApplyTo(inPlace, e));
            EXPECT_EQ(CTilePool::Shared().LiveBytes(), live);
            EXPECT_EQ(inPlace.UndoDepth(), 1u);
            EXPECT_EQ(inPlace.CurrentState().ReadAll(), Picture());
        }
    }
}

// A state whose tiles another state shares is changed without changing the other.
TEST_F(EffectPipeline, InPlaceLeavesTheStatesThatShareItsTiles)
{
    const std::unique_ptr<ImageState> copy = doc.CurrentState().Clone();
    ASSERT_TRUE(copy);
    CSelection selection;
    selection.kind = SelectionKind::Ellipse;
    selection.AddPoint({10, 10});
    selection.AddPoint({290, 190});
    const auto invert = [](const std::uint32_t* src, std::uint32_t* dst, int n, int, int) {
        std::transform(src, src + n, dst, [](std::uint32_t p) { return p ^ 0x00FFFFFFu; });
    };
    const std::unique_ptr<ImageState> expected = CEffectPipeline::Apply(*copy, selection, invert);
    ASSERT_TRUE(CEffectPipeline::ApplyInPlace(*copy, selection, invert));
    EXPECT_EQ(copy->ReadAll(), expected->ReadAll());
    EXPECT_EQ(Picture(), original.convertToFormat(QImage::Format_RGB32));
}

// Documents of shapes far from square: what effects make of them, against the whole-image model.
class EffectPipelineShapes : public PhotoDocumentTest, public ::testing::WithParamInterface<QSize>
{
protected:
    void SetUp() override { LoadPhoto(GetParam().width(), GetParam().height(), 5); }
};

TEST_P(EffectPipelineShapes, EffectsMatchTheModel)
{
    const QSize size = GetParam();
    const QRect middle(size.width() / 4, size.height() / 4, std::max(1, size.width() / 2),
                       std::max(1, size.height() / 2));
    const std::vector<Shape> shapes = {
        Shape{},
        {SelectionKind::Rectangle, {middle.topLeft(), middle.bottomRight() + QPoint(1, 1)}},
        // Shaped: rows go through the rule in pieces, each at its own position.
        {SelectionKind::Ellipse, {QPoint(-3, -3), QPoint(size.width() + 3, size.height() + 3)}},
    };
    const std::vector<Effect> effects = ModelledEffects();
    for (const Shape& shape : shapes) {
        for (const Effect& e : effects) {
            SCOPED_TRACE(Describe(shape) + " " + Describe(e));
            const QImage below = Picture();
            Select(doc.selection, shape);
            ASSERT_TRUE(ApplyTo(doc, e));
            const std::string difference = Difference(Expected(below, shape, e), Picture());
            EXPECT_TRUE(difference.empty()) << difference;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, EffectPipelineShapes,
                         ::testing::Values(QSize(1, 200000), QSize(200000, 1), QSize(3, 70000), QSize(129, 1000),
                                           QSize(1000, 129), QSize(2000, 130), QSize(300, 200)),
                         [](const ::testing::TestParamInfo<QSize>& info) {
                             return std::to_string(info.param.width()) + "x" + std::to_string(info.param.height());
                         });
