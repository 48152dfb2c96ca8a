// Copying the selection to the system clipboard: the crop, its unselected pixels black, the
// refusals, and that a copy leaves the history alone.
#include "support/ReferenceEffects.h"

#include "document/CImageDoc.h"
#include "selection/SelectionMasks.h"
#include "support/PhotoDocumentTest.h"

#include <QClipboard>
#include <QGuiApplication>

#include <gtest/gtest.h>

using namespace Reference;

namespace {

constexpr QRgb Black = 0xFF000000u;

QImage ClipboardImage()
{
    return QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
}

class Clipboard : public PhotoDocumentTest
{
protected:
    void SetUp() override
    {
        // Photo-like pixels are never pure black, so black in a crop means "not selected".
        LoadPhoto(300, 200, 5);
        marker = QImage(7, 3, QImage::Format_RGB32);
        marker.fill(0xFF123456u);
    }

    QImage CopyOf(const Shape& shape)
    {
        Select(doc.selection, shape);
        EXPECT_TRUE(doc.CopyToClipboard()) << doc.GetErrorText().toStdString();
        return ClipboardImage();
    }

    // The crop must show `picture` where the shape selects a pixel and black elsewhere.
    static void ExpectMaskedCrop(const QImage& crop, const QImage& picture, const Shape& shape, QRect area)
    {
        ASSERT_EQ(crop.size(), area.size());
        CSelection selection;
        Select(selection, shape);
        QImage black(area.size(), QImage::Format_RGB32), white(area.size(), QImage::Format_RGB32);
        SelectionMasks::Draw(selection, area, black, white);
        int wrong = 0;
        for (int y = 0; y < area.height(); ++y) {
            for (int x = 0; x < area.width(); ++x) {
                const QRgb want = white.pixel(x, y) == 0xFFFFFFFFu ? picture.pixel(area.x() + x, area.y() + y) : Black;
                wrong += crop.pixel(x, y) != want ? 1 : 0;
            }
        }
        EXPECT_EQ(wrong, 0) << Describe(shape);
    }

    QImage marker; // a known clipboard content that a refused copy must leave in place
};

} // namespace

TEST(ClipboardUnloaded, NothingToCopyWithoutAnImage)
{
    CImageDoc doc;
    EXPECT_FALSE(doc.CopyToClipboard());
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("图片不存在,不能进行复制"));
    EXPECT_TRUE(doc.SelectionCrop().isNull());
}

TEST_F(Clipboard, WithoutSelectionTheWholePictureIsCopied)
{
    EXPECT_EQ(CopyOf(Shape{}), original);
    EXPECT_EQ(doc.selection.bounds, (CSelection::Bounds{0, 0, 300, 200}));
}

TEST_F(Clipboard, RectangleStopsBeforeItsLargerCorner)
{
    const QImage crop = CopyOf({SelectionKind::Rectangle, {{10, 20}, {5, 8}}});
    EXPECT_EQ(crop.size(), QSize(5, 12));
    EXPECT_EQ(crop, original.copy(5, 8, 5, 12)) << "columns 5..9, rows 8..19";
}

TEST_F(Clipboard, RectangleSpillingOverTheEdgeIsClipped)
{
    const QImage crop = CopyOf({SelectionKind::Rectangle, {{-20, 150}, {280, 260}}});
    EXPECT_EQ(crop, original.copy(0, 150, 280, 50));
}

TEST_F(Clipboard, EllipseHasBlackCornersAndThePictureInside)
{
    const Shape shape{SelectionKind::Ellipse, {{80, 70}, {20, 30}}};
    const QImage crop = CopyOf(shape);
    ASSERT_EQ(crop.size(), QSize(60, 40));
    for (const QPoint corner : {QPoint(0, 0), QPoint(59, 0), QPoint(0, 39), QPoint(59, 39)})
        EXPECT_EQ(crop.pixel(corner), Black);
    EXPECT_EQ(crop.pixel(30, 20), original.pixel(50, 50));
    ExpectMaskedCrop(crop, original, shape, QRect(20, 30, 60, 40));
}

TEST_F(Clipboard, PolygonCropStopsBeforeTheLargestCoordinates)
{
    const Shape shape{SelectionKind::Polygon, {{10, 10}, {60, 15}, {30, 50}, {10, 10}}};
    const QImage crop = CopyOf(shape);
    EXPECT_EQ(crop.size(), QSize(50, 40));
    ExpectMaskedCrop(crop, original, shape, QRect(10, 10, 50, 40));
    const Shape freeform{SelectionKind::Freeform, {{250, 150}, {320, 170}, {290, 230}, {240, 199}, {250, 150}}};
    ExpectMaskedCrop(CopyOf(freeform), original, freeform, QRect(240, 150, 60, 50));
}

TEST_F(Clipboard, EmptySelectionIsRefusedAndTheClipboardKept)
{
    const std::vector<Shape> empty = {
        {SelectionKind::Rectangle, {{40, 10}, {40, 90}}},
        {SelectionKind::Ellipse, {{10, 60}, {90, 60}}},
        {SelectionKind::Rectangle, {{300, 0}, {400, 100}}},
        {SelectionKind::Polygon, {{-50, -50}, {-10, -40}, {-30, -1}, {-50, -50}}},
    };
    for (const Shape& shape : empty) {
        SCOPED_TRACE(Describe(shape));
        QGuiApplication::clipboard()->setImage(marker);
        Select(doc.selection, shape);
        EXPECT_FALSE(doc.CopyToClipboard());
        EXPECT_EQ(doc.GetErrorText(), QStringLiteral("选择的区域是空的,不能进行复制"));
        EXPECT_EQ(ClipboardImage(), marker);
    }
}

TEST_F(Clipboard, CopyingLeavesTheHistoryAloneAndRepeats)
{
    const Shape shape{SelectionKind::Ellipse, {{15, 25}, {140, 180}}};
    const QImage first = CopyOf(shape);
    const QImage second = CopyOf(shape);
    EXPECT_EQ(first, second);
    EXPECT_EQ(doc.UndoDepth(), 1u);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(Clipboard, CopyTakesTheCurrentStateAfterUndo)
{
    const Shape shape{SelectionKind::Rectangle, {{100, 50}, {170, 140}}};
    Select(doc.selection, shape);
    ASSERT_TRUE(doc.ApplyInvert());
    const QImage inverted = doc.CurrentState().ReadAll();
    EXPECT_EQ(CopyOf(shape), inverted.copy(100, 50, 70, 90));
    ASSERT_TRUE(doc.Undo());
    EXPECT_EQ(CopyOf(shape), original.copy(100, 50, 70, 90));
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(CopyOf(shape), inverted.copy(100, 50, 70, 90));
}
